#pragma once
// The analyzer host of the demo capture tests: plug-ins linked into a test's
// private resource tree, analyzers bound to channels, decoded frames.

#include "../common/tempenv.h"
#include "analysis/analyzermanager.h"
#include "libanalyzer/analyzer.h"

#include <QFile>
#include <QtTest>

namespace demotest {

inline QString shippedPluginDir()
{
    return QString::fromLocal8Bit(qgetenv("TAV_BIN_DIR")) + QStringLiteral("/../Resources/Analyzer/");
}

inline void install(TempEnv const& env, QStringList const& shipped, QStringList const& test = {})
{
    const QString dst = env.resources() + QStringLiteral("Analyzer/");
    for (QString const& f : shipped)
        QVERIFY(QFile::link(shippedPluginDir() + f, dst + f));
    for (QString const& f : test)
        QVERIFY(QFile::link(QStringLiteral(TST_PLUGIN_DIR "/") + f, dst + f));
}

inline int pluginIndex(AnalyzerManager const& m, QString const& file)
{
    for (int i = 0; i < m.files().size(); ++i)
        if (m.files()[i].fileName == file)
            return i;
    return -1;
}

// Binds the channel settings of an analyzer, in their order, and applies them.
inline bool bindChannels(Analyzer* a, QVector<int> const& chn)
{
    AnalyzerSettings* s = a->GetAnalyzerSettings();
    int k = 0;
    for (unsigned i = 0; i < s->GetSettingsInterfacesCount(); ++i) {
        AnalyzerSettingInterface* si = s->GetSettingsInterface(i);
        if (si->GetKind() != AnalyzerSettingInterface::KindChannel)
            continue;
        auto* c = static_cast<AnalyzerSettingInterfaceChannel*>(si);
        const int n = chn.value(k++, -1);
        c->SetChannel(n < 0 ? Channel() : Channel(0, U32(n)));
    }
    return s->ApplyInterfaces();
}

inline Analyzer* addBound(AnalyzerManager& m, QString const& file, QVector<int> const& chn)
{
    Analyzer* a = m.getNewAnalyzer(pluginIndex(m, file));
    if (!a)
        return nullptr;
    if (!bindChannels(a, chn)) {
        m.files()[pluginIndex(m, file)].destroyAnalyzer(a);
        return nullptr;
    }
    m.addUsing(a, false);
    return a;
}

inline QVector<Frame> framesOf(Analyzer* a)
{
    QVector<Frame> out;
    AnalyzerResults* r = nullptr;
    a->GetAnalyzerResults(&r);
    for (U64 i = 0; r && i < r->GetNumFrames(); ++i)
        out.append(r->GetFrame(i));
    return out;
}

} // namespace demotest
