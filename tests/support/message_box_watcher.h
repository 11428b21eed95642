// A helper thread for tests that make a window show a modal message box: it finds each message
// box (dialog class "#32770") of the window's thread, records its owner, caption, text and
// buttons, and clicks OK so that the modal loop returns. All of its waits are bounded.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenMessageBox {
    HWND owner = NULL;            // the box's owner window
    std::string caption;
    std::string text;             // the text of its visible static controls, joined by '\n'
    int button_count = 0;         // visible push buttons
    bool has_ok = false;          // a visible button with id IDOK
    bool owner_disabled = false;  // the owner was disabled while the box was up (modal)
    bool dismissed = false;       // the click on OK closed it (set just after the click)
};

struct MessageBoxWatcher {
    // Watches the boxes of the thread that owns `window`; false if the thread could not start.
    bool Start(HWND window);
    void Stop();
    size_t Count();
    std::vector<SeenMessageBox> Seen();
    ~MessageBoxWatcher() { Stop(); }

    HWND watched = NULL;
    DWORD thread_id = 0;
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::mutex lock;
    std::vector<SeenMessageBox> seen;
};
