#pragma once
// Resource identifiers of the saver window (200 to 299), shared by saver.rc and the code.

// The key-hint picture of the password prompt, a JPEG stored as RCDATA.
#define IDR_SAVER_KEY_HINT 200
