#pragma once

// Registers the controls' icons; the library is static, so the program would
// otherwise drop them. Safe to call repeatedly.
void initControlsResources();
