#pragma once
// Loads the analyzer plug-ins the way the program does: dlopen from the
// resource folder beside bin/, exports resolved by name.

#include "libanalyzer/analyzer.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <dlfcn.h>

struct AnalyzerPlugin {
    typedef Analyzer* (*CreateFn)();
    typedef void (*DestroyFn)(Analyzer*);
    typedef const char* (*TextFn)();

    void* handle = nullptr;
    CreateFn create = nullptr;
    DestroyFn destroy = nullptr;
    TextFn name = nullptr;
    TextFn paraInfo = nullptr;

    static QString folder()
    {
        return QString::fromLocal8Bit(qgetenv("TAV_BIN_DIR")) + "/../Resources/Analyzer/";
    }

    bool load(const QString& fileName)
    {
        QByteArray path = (folder() + fileName).toLocal8Bit();
        handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return false;
        create = reinterpret_cast<CreateFn>(dlsym(handle, "CreateAnalyzer"));
        destroy = reinterpret_cast<DestroyFn>(dlsym(handle, "DestroyAnalyzer"));
        name = reinterpret_cast<TextFn>(dlsym(handle, "GetAnalyzerName"));
        paraInfo = reinterpret_cast<TextFn>(dlsym(handle, "GetParaInfoList"));
        return create && destroy && name;
    }
};

// One decode on the calling thread (no progress manager).
inline AnalyzerResults* decodeNow(Analyzer* a, DataForAnly* capture)
{
    a->Init(capture, nullptr, nullptr);
    a->ResetResults();
    a->InitialWorkerThread();
    a->StartProcessing();
    AnalyzerResults* r = nullptr;
    a->GetAnalyzerResults(&r);
    return r;
}
