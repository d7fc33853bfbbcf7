#include "analysis/protocoledit.h"

#include "analysis/analyzermanager.h"
#include "analysis/anlymessage.h"
#include "analysis/protocollists.h"
#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "libanalyzer/analyzer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString latin1(const char* s)
{
    return QString::fromLatin1(s ? s : "");
}

}  // namespace

ProtocolEdit::ProtocolEdit(bool edit, AnalyzerManager* manager, int index, QWidget* parent)
    : QDialog(parent), host(manager), buttons(new QDialogButtonBox(this)), layout(new QGridLayout(this))
{
    if (edit) {
        inUse = index;
        analyzer = host->getUsingAnalyzer(index);
    } else {
        pluginIndex = index;
        analyzer = host->getNewAnalyzer(index);
        owned = analyzer != nullptr;
    }
    settings = analyzer ? analyzer->GetAnalyzerSettings() : nullptr;
    analyzerName = analyzer ? QString::fromUtf8(analyzer->GetProtocolName()) : QString();
    chnUses = host->getEnableChnInterfaceName(inUse);

    setWindowTitle(Lang::tr(QStringLiteral("Analyzer")) + QStringLiteral(" - ") + analyzerName);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    buttons->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ProtocolEdit::saveClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    layout->setContentsMargins(Config::pixel(10), Config::pixel(16), Config::pixel(10), Config::pixel(10));
    layout->setHorizontalSpacing(Config::pixel(6));
    layout->setVerticalSpacing(Config::pixel(6));

    const int n = settings ? int(settings->GetSettingsInterfacesCount()) : 0;
    const int m = settings ? int(settings->GetChannelsCount()) : 0;
    auto* gap = new QLabel(this);
    gap->setFixedHeight(Config::pixel(4));
    layout->addWidget(gap, m, 0, 1, 2);
    if (m < n) {
        auto* gap2 = new QLabel(this);
        gap2->setFixedHeight(Config::pixel(2));
        layout->addWidget(gap2, n + 1, 0, 1, 2);
        layout->addWidget(buttons, n + 2, 1);
    } else {
        layout->addWidget(buttons, n + 1, 1);
    }

    if (devUsing)
        chnChoices = ProtocolLists::channelChoices(devUsing->dChnEna);

    // The library lists the channel settings first: they fill the rows above
    // the spacer, every other setting the rows below it.
    for (int i = 0; i < n; ++i) {
        AnalyzerSettingInterface* si = settings->GetSettingsInterface(unsigned(i));
        if (!si)
            continue;
        const QString tip = latin1(si->GetToolTip());
        switch (si->GetKind()) {
        case AnalyzerSettingInterface::KindChannel: {
            auto* c = static_cast<AnalyzerSettingInterfaceChannel*>(si);
            addChannelNameLabel(i, latin1(si->GetTitle()));
            addComponentChannel(chnBoxes.size(), i, c->GetChannel().index, c->GetSelectionOfNoneIsAllowed(), tip);
            break;
        }
        case AnalyzerSettingInterface::KindNumberList: {
            auto* l = static_cast<AnalyzerSettingInterfaceNumberList*>(si);
            QStringList texts;
            int selected = 0;
            for (unsigned k = 0; k < l->GetListboxNumbersCount(); ++k) {
                texts << latin1(l->GetListboxString(k));
                if (l->GetListboxNumber(k) == l->GetNumber())
                    selected = int(k);
            }
            addComponentLabel(i + 1, latin1(si->GetTitle()));
            addComponentNumList(i + 1, texts, selected, tip);
            break;
        }
        case AnalyzerSettingInterface::KindInteger: {
            auto* v = static_cast<AnalyzerSettingInterfaceInteger*>(si);
            addComponentLabel(i + 1, latin1(si->GetTitle()));
            addComponentInteger(i + 1, v->GetInteger(), v->GetMin(), v->GetMax(), tip);
            break;
        }
        case AnalyzerSettingInterface::KindText: {
            auto* t = static_cast<AnalyzerSettingInterfaceText*>(si);
            addComponentLabel(i + 1, latin1(si->GetTitle()));
            addComponentText(i + 1, latin1(t->GetText()), tip);
            break;
        }
        case AnalyzerSettingInterface::KindBool: {
            auto* b = static_cast<AnalyzerSettingInterfaceBool*>(si);
            addComponentLabel(i + 1, latin1(si->GetTitle()));
            addComponentBool(i + 1, b->GetValue(), latin1(b->GetCheckBoxText()), tip);
            break;
        }
        default:
            break;
        }
    }
    cancel->setFocus();
}

ProtocolEdit::~ProtocolEdit()
{
    if (owned && analyzer && pluginIndex >= 0 && pluginIndex < host->files().size())
        host->files()[pluginIndex].destroyAnalyzer(analyzer);
}

QString ProtocolEdit::trAnly(const char* text) const
{
    return Lang::tr(latin1(text), analyzerName);
}

void ProtocolEdit::placeField(QWidget* w, int row, QString const& tip)
{
    w->setToolTip(Lang::tr(tip, analyzerName));
    w->setFixedHeight(Config::pixel(22));
    layout->addWidget(w, row, 1, Qt::AlignLeft);
}

void ProtocolEdit::addChannelNameLabel(int row, QString const& title)
{
    auto* l = new QLabel(title, this);
    labels.append(l);
    if (!title.isEmpty())
        layout->addWidget(l, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    else
        l->hide();
}

void ProtocolEdit::addComponentLabel(int row, QString const& title)
{
    auto* l = new QLabel(Lang::tr(title, analyzerName), this);
    labels.append(l);
    if (!title.isEmpty())
        layout->addWidget(l, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    else
        l->hide();
}

void ProtocolEdit::addComponentChannel(int k, int row, quint32 current, bool noneAllowed, QString const& tip)
{
    auto* box = new QComboBox(this);
    box->setMaxVisibleItems(20);
    for (int p = 0; p + 1 < chnChoices.size(); p += 2) {
        QString text = chnChoices[p] + chnChoices[p + 1];
        const QString use = chnUses.value(p + 1);
        if (!use.isEmpty())
            text += QStringLiteral("    (") + use + QStringLiteral(")");
        box->addItem(text);
    }
    if (noneAllowed)
        box->addItem(Lang::tr(QStringLiteral("None")));
    box->setCurrentIndex(ProtocolLists::initialChannel(inUse < 0, k, chnUses, current, chnChoices, box->count()));
    chnBoxes.append(box);
    placeField(box, row, tip);
}

void ProtocolEdit::addComponentNumList(int row, QStringList const& texts, int selected, QString const& tip)
{
    auto* box = new QComboBox(this);
    box->setMaxVisibleItems(20);
    for (QString const& t : texts)
        box->addItem(Lang::tr(t, analyzerName));
    box->setCurrentIndex(selected);
    numBoxes.append(box);
    placeField(box, row, tip);
}

void ProtocolEdit::addComponentInteger(int row, int value, int min, int max, QString const& tip)
{
    auto* e = new QLineEdit(QString::number(value), this);
    intMin.append(min);
    intMax.append(max);
    intFields.append(e);
    placeField(e, row, tip);
}

void ProtocolEdit::addComponentText(int row, QString const& text, QString const& tip)
{
    auto* e = new QLineEdit(Lang::tr(text, analyzerName), this);
    textEdits.append(e);
    placeField(e, row, tip);
}

void ProtocolEdit::addComponentBool(int row, bool value, QString const& text, QString const& tip)
{
    auto* b = new QCheckBox(Lang::tr(text, analyzerName), this);
    b->setCheckable(true);
    b->setChecked(value);
    boolBoxes.append(b);
    placeField(b, row, tip);
}

void ProtocolEdit::saveClicked()
{
    if (!settings) {
        close();
        return;
    }
    const QByteArray before(settings->SaveToText());
    const QString title = Lang::tr(QStringLiteral("A Setting is Invalid"));
    bool valid = true;
    int kc = 0, kl = 0, ki = 0, kt = 0, kb = 0;
    const int n = int(settings->GetSettingsInterfacesCount());
    for (int i = 0; i < n; ++i) {
        AnalyzerSettingInterface* si = settings->GetSettingsInterface(unsigned(i));
        if (!si)
            continue;
        switch (si->GetKind()) {
        case AnalyzerSettingInterface::KindChannel: {
            const int pos = chnBoxes.value(kc++)->currentIndex();
            const quint32 num =
                (pos >= 0 && 2 * pos + 1 < chnChoices.size()) ? chnChoices[2 * pos].toUInt() : ProtocolLists::noChannel;
            static_cast<AnalyzerSettingInterfaceChannel*>(si)->SetChannel(Channel(0, num));
            break;
        }
        case AnalyzerSettingInterface::KindNumberList: {
            auto* l = static_cast<AnalyzerSettingInterfaceNumberList*>(si);
            const int pos = numBoxes.value(kl++)->currentIndex();
            if (pos >= 0 && unsigned(pos) < l->GetListboxNumbersCount())
                l->SetNumber(l->GetListboxNumber(unsigned(pos)));
            break;
        }
        case AnalyzerSettingInterface::KindInteger: {
            auto* v = static_cast<AnalyzerSettingInterfaceInteger*>(si);
            int value = 0;
            // Text that is no integer is refused like one out of range.
            if (ProtocolLists::parseInteger(intFields[ki]->text(), &value) && value >= intMin[ki]
                && value <= intMax[ki]) {
                v->SetInteger(value);
            } else {
                AnlyMessage::warn(this, title, ProtocolLists::integerRangeText(intMin[ki], intMax[ki]));
                valid = false;
            }
            ++ki;
            break;
        }
        case AnalyzerSettingInterface::KindText:
            static_cast<AnalyzerSettingInterfaceText*>(si)->SetText(textEdits.value(kt++)->text().toLatin1().constData());
            break;
        case AnalyzerSettingInterface::KindBool:
            static_cast<AnalyzerSettingInterfaceBool*>(si)->SetValue(boolBoxes.value(kb++)->isChecked());
            break;
        default:
            break;
        }
    }
    if (!valid)
        return;

    bool stopped = false;
    if (inUse >= 0 && host->anlyThreadIsRuning(inUse)) {
        host->stopAnlyThread(inUse);
        stopped = true;
    }
    const bool start = !(devUsing && devUsing->smpRunning);
    if (!settings->ApplyInterfaces()) {
        // The decode this save stopped goes on with the old settings.
        if (stopped && start)
            host->restartDecode(inUse);
        AnlyMessage::warn(this, title, trAnly(settings->GetSaveErrorMessage()));
        return;
    }
    const QByteArray after(settings->SaveToText());
    if (inUse < 0) {
        // Added even with its defaults unchanged: the user confirmed it.
        owned = false;
        host->addUsing(analyzer, start);
    } else if (after != before) {
        host->saveEditMessage(inUse, start);
    } else if (stopped && start) {
        host->restartDecode(inUse);
    }
    accept();
}
