#pragma once

// Stops a running capture while a setting changes and starts it again after,
// so the instrument is never reconfigured under a running capture.
class SmpPause
{
public:
    SmpPause();
    ~SmpPause();
    SmpPause(const SmpPause&) = delete;
    SmpPause& operator=(const SmpPause&) = delete;
};
