#pragma once

// The program's process-wide objects, built and ended in one order by the
// program's entry point (and by whatever runs the program in-process).
namespace ProcessObjects {

// After the settings are read: the language, the fonts and the font of the
// application.
void initLanguageAndFonts();
// The USB transport first (it starts the hot-plug monitor), then the device
// object of the saved model, then the start-up controller that connects it.
// Without an instrument, captures come from the demo generator.
void createDevices();
// In reverse: each one goes only once nothing that reads it is left.
void deleteDevices();

} // namespace ProcessObjects
