#pragma once
// Resource identifiers of the settings dialog (300 to 399), shared by its
// resource script and the code that loads the pictures.

#define IDB_SCALE_SHOW_ALL 300
#define IDB_SCALE_EXACT_FIT 301
#define IDB_SCALE_NO_SCALE 302
