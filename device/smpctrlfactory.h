#pragma once
// The sampling workers of a device object, for DevBase::smpWorkerFactory:
// buffer mode, stream mode and its converter here; the demo generator
// through the maker installed beside them.

class DevBase;
class QThread;

class SmpCtrlFactory
{
public:
    using Maker = QThread* (*)(DevBase* dev);

    // Makes the worker of a kind (SmpWorkerKind); null for the demo kind
    // until a demo maker is installed.
    static QThread* create(DevBase* dev, int kind);
    // Installs create() as the device objects' worker factory.
    static void install(Maker simulate = nullptr);

    static Maker simulateMaker;
};
