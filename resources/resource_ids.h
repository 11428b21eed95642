/* Resource ids shared by the program's C++ code and remote.rc. */
#ifndef HALCYRA_RESOURCE_IDS_H
#define HALCYRA_RESOURCE_IDS_H

#define IDD_REMOTE       101  /* main window dialog template */
#define IDD_FIND_BOX     102  /* Find box: caption and frame; the controls come from a table */
#define IDD_WAKE_BOX     103  /* Wake box: likewise */
#define IDD_FAVOURITES   104  /* Edit favourites: the same */
#define IDI_REMOTE       110  /* class icon, 64 x 64; first icon group */
#define IDI_REMOTE_SMALL 111  /* 32 x 32 and 16 x 16, 16 colours */

#endif
