// Resource ids of pellix.exe (shared by the resource script and the code).
#pragma once

// The program's icon: the first icon group, so Explorer shows it for the file too.
#define IDI_PELLIX 1
#define IDB_TOP_BANNER 101
#define IDB_BOTTOM_BANNER 102
#define IDB_PREVIEW_PLACEHOLDER 103
// The same artwork drawn at twice the size, for windows above 96 DPI.
#define IDB_TOP_BANNER_2X 111
#define IDB_BOTTOM_BANNER_2X 112
#define IDB_PREVIEW_PLACEHOLDER_2X 113
