#pragma once
// Identifiers shared by the resource script and the code that loads resources.

#define IDI_APPLICATION_ICON 1
