#include "files/exportdataset.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "files/datafile.h"
#include "files/smptimeexport.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/kitstyle.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <cmath>
#include <cstdlib>

ExportDataSet::MarkerSource ExportDataSet::markerSource = nullptr;

namespace {

using i128 = __int128;

i128 pow10(int n)
{
    i128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Optional minus, digits, at most one point; at least one digit.
const QRegularExpression& timePattern()
{
    static const QRegularExpression re(QStringLiteral("^(-?)([0-9]*)(?:\\.([0-9]*))?$"));
    return re;
}

} // namespace

// ---------------------------------------------------------------- plain logic

QString ExportDataSet::timeText(long long pos, long long trigger, long long rate, bool roundUp)
{
    if (rate < 1 || rate > DataFile::MaxRate)
        return QStringLiteral("###");
    const int dec = SmpTimeExport(rate, trigger).decimals;
    // (pos - trigger) / rate seconds in units of 10^-dec s, rounded toward
    // the outside of the range the text bounds.
    const i128 num = i128(pos - trigger) * pow10(dec);
    i128 q = num / rate;
    const i128 rem = num % rate;
    if (rem != 0 && (roundUp ? num > 0 : num < 0))
        q += roundUp ? 1 : -1;
    char buf[SmpTimeExport::MaxTextLen];
    int n = SmpTimeExport::fixedText(q < 0, (unsigned __int128)(q < 0 ? -q : q), dec, buf);
    // Typed times carry no trailing zeros, nor a point with nothing after it.
    const int point = n - dec - 1;
    while (n > point + 1 && buf[n - 1] == '0')
        --n;
    if (n == point + 1)
        --n;
    return QString::fromLatin1(buf, n);
}

bool ExportDataSet::parseTime(const QString& text, long long rate, long long trigger, long long* pos)
{
    if (rate < 1 || rate > DataFile::MaxRate)
        return false;
    const QRegularExpressionMatch m = timePattern().match(text);
    if (!m.hasMatch())
        return false;
    const QString intPart = m.captured(2);
    QString fracPart = m.captured(3);
    if (intPart.isEmpty() && fracPart.isEmpty())
        return false;
    const bool neg = !m.captured(1).isEmpty();

    // Far outside any capture (at most 2^40 samples): clamp before forming
    // an integer, so no position can overflow.
    const double seconds = std::strtod(text.toLatin1().constData(), nullptr);
    const double samples = seconds * double(rate);
    constexpr long long Far = 1LL << 62;
    if (!std::isfinite(samples) || std::fabs(samples) >= 1e18) {
        *pos = samples < 0 ? -Far : Far;
        return true;
    }
    // Exact below that: digits beyond the 18th decimal are worth less than a
    // millionth of a sample at any rate.
    fracPart.truncate(18);
    i128 mant = 0;
    for (QChar c : intPart + fracPart)
        mant = mant * 10 + (c.unicode() - '0');
    const i128 q = mant * rate / pow10(fracPart.size());
    *pos = (long long)(neg ? -q : q) + trigger;
    return true;
}

// ---------------------------------------------------------------- dialog

ExportDataSet::ExportDataSet(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setStyleSheet(KitStyle::groupBox());

    // Everything the dialog shows is read here, once.
    QVector<bool> dEna, aEna;
    if (devUsing) {
        dEna = devUsing->dChnEna;
        aEna = devUsing->aChnEna;
        if (auto s = devUsing->displayedSmpData()) {
            smpRate = s->smpFrequ;
            smpTrigger = s->trgPosition;
            smpCount = s->smpCount;
        }
    }

    chnDigital = new ChnEnaGroupBox(dEna, this);

    timeGroup = new QGroupBox(this);
    auto* timeLayout = new QGridLayout(timeGroup);
    timeLayout->setContentsMargins(Config::pixel(6), Config::pixel(12), Config::pixel(6), Config::pixel(10));
    timeLayout->setVerticalSpacing(Config::pixel(4));
    rangeGroup = new QButtonGroup(this);
    rangeGroup->setExclusive(true);
    const char* const names[3] = {"All time", "Timing markers", "Specify time interval"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QRadioButton(Lang::tr(QLatin1String(names[i])), timeGroup);
        rangeGroup->addButton(b, i);
        rangeButtons.append(b);
        connect(b, &QRadioButton::clicked, this, &ExportDataSet::radioButtonClicked);
    }
    rangeButtons[RangeAll]->setChecked(true);
    timeLayout->addWidget(rangeButtons[RangeAll], 0, 0, 1, 2);
    timeLayout->addWidget(rangeButtons[RangeMarkers], 1, 0, 1, 2);

    if (markerSource)
        markerSource(&markerNames, &markerPoints);
    // A name without both of its positions is not offered.
    while (markerNames.size() * 2 > markerPoints.size())
        markerNames.removeLast();
    int row = 2;
    if (markerNames.isEmpty()) {
        rangeButtons[RangeMarkers]->setEnabled(false);
    } else {
        auto* holder = new QWidget(timeGroup);
        auto* h = new QHBoxLayout(holder);
        h->setContentsMargins(Config::pixel(20), 0, 0, 0);
        markerCombo = new QComboBox(holder);
        markerCombo->addItems(markerNames);
        markerCombo->setMinimumContentsLength(10);
        h->addWidget(markerCombo);
        timeLayout->addWidget(holder, row++, 0, 1, 2);
    }
    timeLayout->addWidget(rangeButtons[RangeInterval], row++, 0, 1, 2);

    auto* fields = new QWidget(timeGroup);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(Config::pixel(20), 0, 0, 0);
    labelStart = new QLabel(Lang::tr(QStringLiteral("Starting Time[s]")), fields);
    labelEnd = new QLabel(Lang::tr(QStringLiteral("Ending Time[s]")), fields);
    startEdit = new QLineEdit(fields);
    endEdit = new QLineEdit(fields);
    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*\\.?[0-9]*")), this);
    startEdit->setValidator(validator);
    endEdit->setValidator(validator);
    // Rounded outward, so that the texts as shown cover the whole capture.
    defaultStart = timeText(0, smpTrigger, smpRate, false);
    defaultEnd = timeText(smpCount, smpTrigger, smpRate, true);
    startEdit->setText(defaultStart);
    endEdit->setText(defaultEnd);
    const QFontMetrics fm(startEdit->font());
    const int w = std::max(fm.horizontalAdvance(defaultStart), fm.horizontalAdvance(defaultEnd)) + Config::pixel(12);
    startEdit->setMinimumWidth(w);
    endEdit->setMinimumWidth(w);
    grid->addWidget(labelStart, 0, 0);
    grid->addWidget(labelEnd, 0, 1);
    grid->addWidget(startEdit, 1, 0);
    grid->addWidget(endEdit, 1, 1);
    timeLayout->addWidget(fields, row, 0, 1, 2);
    // Without a usable rate there are no times to type.
    rangeButtons[RangeInterval]->setEnabled(rateUsable());

    timeGroup->setTitle(QStringLiteral("  ") + Lang::tr(QStringLiteral("Time Select")) + QStringLiteral("  "));

    buttonBox = new QDialogButtonBox(this);
    buttonBox->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttonBox->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &ExportDataSet::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &ExportDataSet::reject);

    mainLayout = new QGridLayout(this);
    if (!aEna.isEmpty()) {
        chnAnalog = new ChnEnaGroupBox(aEna, this);
        chnAnalog->setTitle(QStringLiteral("  ") + Lang::tr(QStringLiteral("Analog Channel Select"))
                            + QStringLiteral("  "));
        chnDigital->setTitle(QStringLiteral("  ") + Lang::tr(QStringLiteral("Digital Channel Select"))
                             + QStringLiteral("  "));
        mainLayout->addWidget(chnAnalog, 0, 0, 1, 2);
    }
    mainLayout->addWidget(chnDigital, 1, 0, 1, 2);
    mainLayout->addWidget(timeGroup, 2, 0, 1, 2);
    mainLayout->addWidget(buttonBox, 3, 0, 1, 2);
    for (int c = 0; c < 2; ++c) {
        auto* filler = new QWidget(this);
        filler->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        mainLayout->addWidget(filler, 4, c);
    }

    radioButtonClicked();
    buttonBox->buttons().first()->setFocus();
}

bool ExportDataSet::rateUsable() const
{
    return smpRate >= 1 && smpRate <= DataFile::MaxRate;
}

void ExportDataSet::radioButtonClicked()
{
    const bool interval = rangeButtons[RangeInterval]->isChecked();
    labelStart->setEnabled(interval);
    labelEnd->setEnabled(interval);
    startEdit->setEnabled(interval);
    endEdit->setEnabled(interval);
    if (markerCombo)
        markerCombo->setEnabled(rangeButtons[RangeMarkers]->isChecked());
}

void ExportDataSet::accept()
{
    long long a = 0, b = 0;
    if (rangeButtons[RangeInterval]->isChecked()
        && (!parseTime(startEdit->text(), smpRate, smpTrigger, &a)
            || !parseTime(endEdit->text(), smpRate, smpTrigger, &b))) {
        QMessageBox box(QMessageBox::Warning, Lang::tr(QStringLiteral("Warning")),
                        Lang::tr(QStringLiteral("Please enter a valid time.")), QMessageBox::Close, this,
                        Qt::Dialog | Qt::WindowCloseButtonHint);
        box.button(QMessageBox::Close)->setText(Lang::tr(QStringLiteral("Close")));
        box.setStyleSheet(QStringLiteral("color:black;"));
        box.exec();
        return;
    }
    QDialog::accept();
}

void ExportDataSet::getSetParameters(QVector<bool>& analog, QVector<bool>& digital, long long* start,
                                     long long* end)
{
    if (!analog.isEmpty() && chnAnalog)
        chnAnalog->getChnEna(analog);
    chnDigital->getChnEna(digital);

    long long a = 0, b = smpCount;
    if (rangeButtons[RangeMarkers]->isChecked() && markerCombo) {
        const int i = markerCombo->currentIndex();
        if (i >= 0 && 2 * i + 1 < markerPoints.size()) {
            a = markerPoints[2 * i];
            b = markerPoints[2 * i + 1];
        }
    } else if (rangeButtons[RangeInterval]->isChecked()) {
        // accept() let only numbers through; anything else keeps the whole capture.
        if (!parseTime(startEdit->text(), smpRate, smpTrigger, &a)
            || !parseTime(endEdit->text(), smpRate, smpTrigger, &b)) {
            a = 0;
            b = smpCount;
        }
    }
    *start = std::min(a, b);
    *end = std::max(a, b);
}

// Kept out of the library's shared moc unit, so users of the data file alone
// do not pull in the menu and the device layer.
#include "moc_exportdataset.cpp"
