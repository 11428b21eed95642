// The yardstick for the command-line sender: a console program that does one blocking connect
// and send of "press POWER" and exits. Usage: floor_send.exe 127.0.0.N (loopback only; port 8089).
#include <winsock2.h>
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc != 2) return 2;
    sockaddr_in box = {};
    box.sin_family = AF_INET;
    box.sin_port = htons(8089);
    box.sin_addr.s_addr = inet_addr(argv[1]);
    if ((ntohl(box.sin_addr.s_addr) >> 24) != 127) return 2;  // loopback only
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    static const char command[] = "press POWER\r\n";  // the NUL ends the command, as the remote's
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    bool sent = s != INVALID_SOCKET && connect(s, (sockaddr *)&box, sizeof(box)) == 0 &&
                send(s, command, sizeof(command), 0) == (int)sizeof(command);
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return sent ? 0 : 1;
}
