/* Resource ids shared by deskfind.rc (windres) and the C++ code: #defines only. */
#ifndef DESKFIND_ASSETS_RESOURCE_IDS_H
#define DESKFIND_ASSETS_RESOURCE_IDS_H

/* The shell shows the icon with the lowest id as the program's icon. */
#define IDI_DESKFIND 1

/* Bitmaps: the shop's logo (120x120, 8-bit) and the two furniture pictures (100x100, 24-bit). */
#define IDB_LOGO 101
#define IDB_DESK 102
#define IDB_CHEST 103

#endif
