#pragma once

// The instrument model codes the device layer supports. Kept here, below the
// device layer, so that settings merging can check a code without it.
class ModelTable
{
public:
    static bool isSupported(int code);
};
