#include "files/options.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/kitstyle.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

bool Options::Choice::isChecked(int i) const
{
    return i >= 0 && i < radios.size() && radios[i]->isChecked();
}

Options::Choice Options::makeChoice(const char* title, std::initializer_list<const char*> texts, int selected)
{
    Choice c;
    c.group = new QGroupBox(QStringLiteral("  ") + Lang::tr(QLatin1String(title)) + QStringLiteral("  "), this);
    c.layout = new QVBoxLayout(c.group);
    c.layout->setContentsMargins(Config::pixel(6), Config::pixel(12), Config::pixel(6), Config::pixel(10));
    c.buttons = new QButtonGroup(this);
    c.buttons->setExclusive(true);
    for (const char* t : texts) {
        auto* r = new QRadioButton(Lang::tr(QLatin1String(t)), c.group);
        c.buttons->addButton(r);
        c.layout->addWidget(r);
        c.radios.append(r);
    }
    c.group->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (selected >= 0 && selected < c.radios.size())
        c.radios[selected]->setChecked(true);
    return c;
}

Options::Options(QWidget* parent)
    : QDialog(parent)
{
    setStyleSheet(KitStyle::groupBox());
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setMinimumWidth(Config::pixel(395));
    setWindowTitle(Lang::tr(QStringLiteral("Options")));

    const bool autoOff = Config::readGlobalParam(QStringLiteral("disAutoUpdate")).toInt() != 0;
    updateCheck = makeChoice("Check for updates on launch", {"Enable", "Disable"}, autoOff ? 1 : 0);
    zoomAnimate = makeChoice("Animate zooming", {"Enable", "Disable"}, Config::disAnimate ? 1 : 0);
    // Any stored value other than 0..2 leaves all three unselected.
    viewState = makeChoice("View state after new sampling",
                           {"Keep exactly the same position as before (if possible)",
                            "Show time zero, with previous zoom level", "Zoom all the way out"},
                           Config::viewState >= 0 && Config::viewState <= 2 ? Config::viewState : -1);
    progressPlace = makeChoice("Sampling progress display", {"In waveform window", "In status bar"},
                               Config::smpProgPosition ? 1 : 0);
    autoRestart = makeChoice("Auto restart sampling",
                             {"Even if the trigger is not met", "Only when the trigger is met"},
                             Config::autoWaitTrig ? 1 : 0);

    auto page = [this](std::initializer_list<QGroupBox*> groups) {
        auto* w = new QWidget;
        auto* l = new QVBoxLayout(w);
        l->setAlignment(Qt::AlignTop);
        for (QGroupBox* g : groups)
            l->addWidget(g);
        return w;
    };
    QWidget* display = page({progressPlace.group, viewState.group, zoomAnimate.group});
    QWidget* start = page({autoRestart.group});
    QWidget* updates = page({updateCheck.group});

    buttonBox = new QDialogButtonBox(this);
    buttonBox->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttonBox->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &Options::saveClicked);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QWidget::close);

    tabs = new QTabWidget(this);
    tabs->addTab(display, Lang::tr(QStringLiteral("Display")));
    tabs->addTab(start, Lang::tr(QStringLiteral("Sample start")));
    tabs->addTab(updates, Lang::tr(QStringLiteral("Updates")));
    mainLayout = new QVBoxLayout(this);
    mainLayout->addWidget(tabs);
    mainLayout->addWidget(buttonBox);
    cancel->setFocus();
}

void Options::saveClicked()
{
    Config::saveGlobalParam(QStringLiteral("disAutoUpdate"),
                            updateCheck.isChecked(0) ? QStringLiteral("0") : QStringLiteral("1"));
    Config::saveDisAnimate(zoomAnimate.isChecked(1));
    Config::saveViewState(viewState.isChecked(2) ? ViewAll : viewState.isChecked(0) ? ViewKeep : ViewZero);
    Config::saveAutoWaitTrigEna(autoRestart.isChecked(1));
    Config::saveProgressSample(progressPlace.isChecked(1));
    close();
}

// Kept out of the library's shared moc unit, like the rest of the menu.
#include "moc_options.cpp"
