#pragma once
// Internal to the analog store: which path converts ADC bytes. The vector
// path computes the codes arithmetically; the table path is the portable one
// and the reference the vector path must match exactly. Tests and benchmarks
// switch between them; the program never does.

namespace SmpDataOscPath {

// True when this CPU runs the vector path.
bool vectorSupported();
// true: convert through the byte-to-code tables even where the vector path runs.
void forceTable(bool on);
// True when conversions now take the vector path.
bool vectorActive();

} // namespace SmpDataOscPath
