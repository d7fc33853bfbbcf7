#include "guidepdf.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>
#include <QVector>

#include <algorithm>
#include <climits>

namespace {

constexpr int Dpi = 300;
// Page body in millimetres from the paper's edges (A4: 210 x 297).
constexpr double MarginSide = 20;
constexpr double MarginTop = 24;
constexpr double MarginBottom = 22;

// Pictures are screenshots of a 100 dpi screen, where the program's labels
// are 9 pt (12.5 pixels). A pixel printed at 0.8 units of 1/96 inch (0.6 pt)
// gives them 7.5 pt; a picture is made smaller, to fit the text width or a
// page, down to 0.75 units (7 pt), and is refused beyond that.
constexpr double PictureScale = 0.8;
constexpr double PictureScaleMin = 0.75;
// The word joiner: no line break next to it, and nothing in the text layer.
constexpr ushort WordJoiner = 0x2060;

// Page geometry is in printer dots; lengths inside the document (margins,
// borders, picture sizes) are in 96 dpi units that the layout scales up.
double mm(double v)
{
    return v * Dpi / 25.4;
}
double docMm(double v)
{
    return v * 96 / 25.4;
}

// Code as the Markdown reader marks it: the platform's fixed font, which is
// not always a fixed-pitch one (the offscreen platform gives a sans face).
bool isCode(const QTextCharFormat& f)
{
    static const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    return f.fontFixedPitch() || (f.hasProperty(QTextFormat::FontFamily) && f.fontFamily() == fixed);
}

bool isPicture(const QTextBlock& b)
{
    if (!b.isValid() || b.text() != QString(QChar::ObjectReplacementCharacter))
        return false;
    const auto it = b.begin();
    return !it.atEnd() && it.fragment().charFormat().isImageFormat();
}

// The italic line right under a picture.
bool isCaption(const QTextBlock& b)
{
    if (!isPicture(b.previous()) || b.text().trimmed().isEmpty())
        return false;
    for (auto it = b.begin(); !it.atEnd(); ++it)
        if (it.fragment().isValid() && !it.fragment().text().trimmed().isEmpty()
            && !it.fragment().charFormat().fontItalic())
            return false;
    return true;
}

bool isFence(const QTextBlock& b)
{
    return b.isValid() && b.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
}

const QColor headingColor(0x1f, 0x3a, 0x5f);
const QColor ruleColor(0x9a, 0xa8, 0xb8);
const QColor shadeColor(0xe9, 0xee, 0xf3);

} // namespace

GuidePdf::GuidePdf(const QString& markdown, const QDir& pictures) : text(markdown), pictureDir(pictures) {}

GuidePdf::~GuidePdf() = default;

int GuidePdf::pageCount() const
{
    return doc.pageCount();
}

bool GuidePdf::write(const QString& path)
{
    problems.clear();
    writer = std::make_unique<QPdfWriter>(path);
    writer->setResolution(Dpi);
    writer->setPageSize(QPageSize(QPageSize::A4));
    writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    writer->setCreator(QStringLiteral("VormelTAV"));

    doc.documentLayout()->setPaintDevice(writer.get());
    doc.setDocumentMargin(0);
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(10);
    doc.setDefaultFont(body);
    // Words break only where words may: a word wider than its column makes
    // the table wider, and fitTables sets it smaller, rather than cut it.
    QTextOption wrap = doc.defaultTextOption();
    wrap.setWrapMode(QTextOption::WordWrap);
    doc.setDefaultTextOption(wrap);
    doc.setMarkdown(text, QTextDocument::MarkdownDialectGitHub);
    const QSizeF paper = QPageSize(QPageSize::A4).sizePoints() * (double(Dpi) / 72.0);
    doc.setPageSize(QSizeF(paper.width() - 2 * mm(MarginSide), paper.height() - mm(MarginTop) - mm(MarginBottom)));

    // One edit block: the layout follows once, not after every change.
    QTextCursor edits(&doc);
    edits.beginEditBlock();
    styleDocument();
    placePictures();
    collectHeadings();
    if (!headings.isEmpty() && headings.first().level == 1)
        title = headings.first().text;
    writer->setTitle(title);
    insertContents();
    edits.endEditBlock();
    layOut();
    fitTables();
    paginate();
    splitAtPageBreaks();
    checkLayout();
    if (!problems.isEmpty())
        return false;

    // The file is complete once the painter has ended; the writer stays, as
    // the document's layout refers to it until the document goes.
    paintPages(*writer);
    if (!QFile::exists(path) || QFile(path).size() == 0) {
        problems << QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

void GuidePdf::styleDocument()
{
    QTextCursor cur(&doc);
    // The reader ends a code block with an empty line of it; that would be
    // an empty shaded line.
    for (QTextBlock b = doc.lastBlock(); b.isValid();) {
        const QTextBlock before = b.previous();
        if (isFence(b) && b.text().isEmpty() && isFence(before) && !isFence(b.next())) {
            cur.setPosition(before.position() + before.length() - 1);
            cur.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
            cur.removeSelectedText();
        }
        b = before;
    }
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat bf = b.blockFormat();
        QTextCharFormat cf;
        cur.setPosition(b.position());
        cur.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
        const int level = bf.headingLevel();
        if (level > 0) {
            static const double sizes[] = {24, 16, 12.5, 11, 10, 10};
            cf.setFontFamily(QStringLiteral("DejaVu Sans"));
            cf.setFontPointSize(sizes[qBound(1, level, 6) - 1]);
            cf.setFontWeight(QFont::Bold);
            cf.setForeground(headingColor);
            bf.setTopMargin(docMm(level <= 2 ? 2 : 4));
            bf.setBottomMargin(docMm(level <= 2 ? 4 : 1.5));
            if (level == 2)
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            bf.setProperty(QTextFormat::BlockNonBreakableLines, true);
            cur.setBlockFormat(bf);
            cur.setCharFormat(cf);
            continue;
        }
        if (isFence(b)) {
            // Code lines as written: checkLayout reports one wider than the page.
            bf.setBackground(shadeColor);
            bf.setLeftMargin(docMm(3));
            bf.setTopMargin(0);
            bf.setBottomMargin(0);
            bf.setProperty(QTextFormat::BlockNonBreakableLines, true);
            cur.setBlockFormat(bf);
        } else if (!b.textList()) {
            bf.setBottomMargin(docMm(2));
            cur.setBlockFormat(bf);
        }
    }
    // Code, in running text and in blocks, in the monospaced face. The
    // ranges are collected first: a format change may split fragments.
    QVector<QPair<int, int>> code;
    QVector<QPair<int, int>> spans;   // code in running text and tables
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().isValid() && isCode(it.fragment().charFormat())) {
                code.append({it.fragment().position(), it.fragment().length()});
                if (!isFence(b))
                    spans.append(code.last());
            }
    QTextCharFormat mono;
    mono.setFontFamily(QStringLiteral("DejaVu Sans Mono"));
    mono.setFontPointSize(8.8);
    mono.setForeground(QColor(0x20, 0x20, 0x20));
    for (const auto& r : code) {
        cur.setPosition(r.first);
        cur.setPosition(r.first + r.second, QTextCursor::KeepAnchor);
        cur.mergeCharFormat(mono);
    }
    // Tables across the text width, thin rules, a shaded head row.
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat tf = table->format();
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setBorder(docMm(0.25));
        tf.setBorderBrush(ruleColor);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderCollapse(true);
        tf.setCellSpacing(0);
        tf.setCellPadding(docMm(1.2));
        tf.setTopMargin(docMm(1));
        tf.setBottomMargin(docMm(3));
        tf.setHeaderRowCount(1);
        table->setFormat(tf);
        for (int c = 0; c < table->columns(); ++c) {
            QTextTableCell cell = table->cellAt(0, c);
            QTextCharFormat cf = cell.format();
            cf.setBackground(shadeColor);
            cell.setFormat(cf);
            QTextCursor cc = cell.firstCursorPosition();
            cc.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            cc.mergeCharFormat(bold);
        }
        for (int r = 0; r < table->rows(); ++r)
            for (int c = 0; c < table->columns(); ++c) {
                QTextCursor cc = table->cellAt(r, c).firstCursorPosition();
                QTextBlockFormat bf = cc.blockFormat();
                bf.setBottomMargin(0);
                cc.setBlockFormat(bf);
            }
    }
    keepCodeWhole(spans);
}

void GuidePdf::keepCodeWhole(const QVector<QPair<int, int>>& code)
{
    // A command, an option or a path copied from the guide must come out
    // whole, so code in running text and tables breaks only at its spaces:
    // a word joiner goes where a line could otherwise break inside it (after
    // a hyphen, a slash). From the end, so the earlier positions hold.
    QTextCursor cur(&doc);
    for (int i = code.size() - 1; i >= 0; --i) {
        const int start = code[i].first;
        const int length = code[i].second;
        cur.setPosition(start);
        cur.setPosition(start + length, QTextCursor::KeepAnchor);
        const QString span = cur.selectedText();
        QVector<int> joins;
        QTextBoundaryFinder lines(QTextBoundaryFinder::Line, span);
        for (int at = lines.toNextBoundary(); at > 0 && at < span.size(); at = lines.toNextBoundary())
            if (!span.at(at - 1).isSpace() && !span.at(at).isSpace())
                joins.append(at);
        for (int j = joins.size() - 1; j >= 0; --j) {
            cur.setPosition(start + joins[j]);
            cur.insertText(QString(QChar(WordJoiner)));
        }
    }
}

void GuidePdf::placePictures()
{
    const double width = doc.pageSize().width() * 96 / Dpi;
    const double maxHeight = doc.pageSize().height() * 96 / Dpi * 0.6;
    struct Found {
        int position;
        int length;
        QTextImageFormat format;
    };
    // Collected first: changing a fragment's format may split fragments.
    QVector<Found> found;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid() && f.charFormat().isImageFormat())
                found.append({f.position(), f.length(), f.charFormat().toImageFormat()});
        }
    QTextCursor cur(&doc);
    for (Found& f : found) {
        const QString file = pictureDir.filePath(f.format.name());
        const QImage pic(file);
        if (pic.isNull()) {
            problems << QStringLiteral("missing picture %1").arg(file);
            continue;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(f.format.name()), pic);
        const double scale = std::min({PictureScale, width / pic.width(), maxHeight / pic.height()});
        if (scale < PictureScaleMin) {
            problems << QStringLiteral("picture %1 (%2 x %3) would print its labels below 7 pt: crop it to %4 x %5 "
                                       "pixels at most")
                            .arg(f.format.name())
                            .arg(pic.width())
                            .arg(pic.height())
                            .arg(int(width / PictureScaleMin))
                            .arg(int(maxHeight / PictureScaleMin));
            continue;
        }
        f.format.setWidth(pic.width() * scale);
        f.format.setHeight(pic.height() * scale);
        cur.setPosition(f.position);
        cur.setPosition(f.position + f.length, QTextCursor::KeepAnchor);
        cur.setCharFormat(f.format);
        QTextBlockFormat bf = cur.blockFormat();
        bf.setAlignment(Qt::AlignHCenter);
        bf.setTopMargin(docMm(2));
        bf.setBottomMargin(docMm(1));
        bf.setProperty(QTextFormat::BlockNonBreakableLines, true);
        cur.setBlockFormat(bf);
    }
}

void GuidePdf::layOut()
{
    // The layout of a long document is finished in steps from the event loop,
    // and after edits it may be left in parts: start it afresh and finish it.
    doc.setPageSize(doc.pageSize());
    doc.pageCount();
}

void GuidePdf::collectHeadings()
{
    headings.clear();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level > 0)
            headings.append({level, b.text().remove(QChar(WordJoiner)), b.position()});
    }
}

void GuidePdf::insertContents()
{
    if (headings.isEmpty())
        return;
    // Right after the title and the paragraphs under it: the page the first
    // chapter begins on.
    int at = doc.characterCount() - 1;
    for (const Heading& h : headings)
        if (h.level == 2) {
            at = h.position - 1;
            break;
        }
    QTextCursor cur(&doc);
    cur.setPosition(at);
    QTextBlockFormat head;
    head.setTopMargin(docMm(6));
    head.setBottomMargin(docMm(3));
    QTextCharFormat headChars;
    headChars.setFontPointSize(16);
    headChars.setFontWeight(QFont::Bold);
    headChars.setForeground(headingColor);
    cur.insertBlock(head, headChars);
    cur.insertText(QStringLiteral("Contents"));

    QList<Heading> entries;
    for (const Heading& h : headings)
        if (h.level == 2 || h.level == 3)
            entries.append(h);
    QTextTableFormat tf;
    tf.setBorder(0);
    tf.setCellPadding(docMm(0.5));
    tf.setCellSpacing(0);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tf.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 90),
                                  QTextLength(QTextLength::PercentageLength, 10)});
    QTextTable* table = cur.insertTable(entries.size(), 2, tf);
    for (int r = 0; r < entries.size(); ++r) {
        const Heading& h = entries[r];
        QTextCharFormat cf;
        cf.setFontPointSize(h.level == 2 ? 10.5 : 9.5);
        cf.setFontWeight(h.level == 2 ? QFont::Bold : QFont::Normal);
        QTextCursor c0 = table->cellAt(r, 0).firstCursorPosition();
        QTextBlockFormat bf;
        bf.setLeftMargin(h.level == 2 ? 0 : docMm(6));
        bf.setTopMargin(h.level == 2 ? docMm(1.5) : 0);
        c0.setBlockFormat(bf);
        c0.insertText(h.text, cf);
        QTextCursor c1 = table->cellAt(r, 1).firstCursorPosition();
        QTextBlockFormat nf;
        nf.setAlignment(Qt::AlignRight);
        nf.setTopMargin(bf.topMargin());
        c1.setBlockFormat(nf);
        c1.insertText(QStringLiteral("0"), cf);
    }
    contents = table;
}

namespace {

// Whether every line of a table lies within the width.
bool tableFits(QTextDocument& doc, QTextTable* table, double width)
{
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    if (layout->frameBoundingRect(table).width() > width)
        return false;
    for (QTextBlock b = doc.findBlock(table->firstPosition()); b.isValid() && b.position() <= table->lastPosition();
         b = b.next()) {
        if (!b.layout())
            continue;
        const QRectF box = layout->blockBoundingRect(b);
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            if (box.left() + line.x() + line.naturalTextWidth() > width)
                return false;
        }
    }
    return true;
}

} // namespace

void GuidePdf::fitTables()
{
    // A table whose words do not fit across the page (many columns, long
    // code) is set smaller, down to 7 pt; checkLayout reports one that
    // still does not fit.
    const double width = doc.pageSize().width() + 1;
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table || table == contents)
            continue;
        while (!tableFits(doc, table, width)) {
            struct Run {
                int position;
                int length;
                double size;
            };
            QVector<Run> runs;
            double smallest = 100;
            for (QTextBlock b = doc.findBlock(table->firstPosition());
                 b.isValid() && b.position() <= table->lastPosition(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it) {
                    const QTextFragment f = it.fragment();
                    const double now = f.charFormat().fontPointSize() > 0 ? f.charFormat().fontPointSize() : 10;
                    runs.append({f.position(), f.length(), now * 0.92});
                    smallest = qMin(smallest, now * 0.92);
                }
            if (smallest < 7)
                break;
            QTextCursor cur(&doc);
            for (const Run& r : runs) {
                cur.setPosition(r.position);
                cur.setPosition(r.position + r.length, QTextCursor::KeepAnchor);
                QTextCharFormat f;
                f.setFontPointSize(r.size);
                cur.mergeCharFormat(f);
            }
            layOut();
        }
    }
}

double GuidePdf::lineTop(const QTextBlock& b, int line) const
{
    return doc.documentLayout()->blockBoundingRect(b).top() + b.layout()->lineAt(line).y();
}

int GuidePdf::linePage(const QTextBlock& b, int line) const
{
    // By its middle: a line moved to the next page may start a fraction of a
    // dot above it.
    const QTextLine l = b.layout()->lineAt(line);
    return int((lineTop(b, line) + l.height() / 2) / doc.pageSize().height());
}

int GuidePdf::pageOf(int position) const
{
    const QTextBlock b = doc.findBlock(position);
    if (!b.layout() || b.layout()->lineCount() < 1)
        return int(doc.documentLayout()->blockBoundingRect(b).top() / doc.pageSize().height()) + 1;
    return linePage(b, 0) + 1;
}

QVector<GuidePdf::Item> GuidePdf::items() const
{
    QVector<Item> list;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* frame = it.currentFrame()) {
            if (auto* table = qobject_cast<QTextTable*>(frame))
                list.append({QTextBlock(), table});
        } else if (!it.currentBlock().text().isEmpty() && it.currentBlock().layout()
                   && it.currentBlock().layout()->lineCount() > 0) {
            list.append({it.currentBlock(), nullptr});
        }
    }
    return list;
}

int GuidePdf::firstPage(const Item& item) const
{
    if (!item.table)
        return linePage(item.block, 0);
    return linePage(item.table->cellAt(0, 0).firstCursorPosition().block(), 0);
}

int GuidePdf::lastPage(const Item& item) const
{
    return int(bottomOf(item) / doc.pageSize().height() - 1e-6);
}

double GuidePdf::bottomOf(const Item& item) const
{
    auto bottom = [this](const QTextBlock& b) {
        const int n = b.layout()->lineCount();
        return n > 0 ? lineTop(b, n - 1) + b.layout()->lineAt(n - 1).height() : 0.0;
    };
    if (!item.table)
        return bottom(item.block);
    double y = 0;
    for (QTextBlock b = doc.findBlock(item.table->firstPosition());
         b.isValid() && b.position() <= item.table->lastPosition(); b = b.next())
        if (b.layout())
            y = qMax(y, bottom(b));
    return y;
}

bool GuidePdf::breaksBefore(const Item& item) const
{
    const auto policy =
        item.table ? item.table->format().pageBreakPolicy() : item.block.blockFormat().pageBreakPolicy();
    return policy & QTextFormat::PageBreak_AlwaysBefore;
}

void GuidePdf::setBreakBefore(const Item& item, bool on)
{
    const auto policy = on ? QTextFormat::PageBreak_AlwaysBefore : QTextFormat::PageBreak_Auto;
    if (item.table) {
        QTextTableFormat tf = item.table->format();
        tf.setPageBreakPolicy(policy);
        item.table->setFormat(tf);
        return;
    }
    QTextBlockFormat bf = item.block.blockFormat();
    bf.setPageBreakPolicy(policy);
    QTextCursor(item.block).setBlockFormat(bf);
}

int GuidePdf::keyOf(const Item& item) const
{
    return item.table ? doc.findBlock(item.table->firstPosition()).blockNumber() : item.block.blockNumber();
}

void GuidePdf::moveToNextPage(const QVector<Item>& list, int k)
{
    setBreakBefore(list[k], true);
    moved.insert(keyOf(list[k]));
    resetAfter(list, k);
}

void GuidePdf::resetAfter(const QVector<Item>& list, int k)
{
    // What follows a change is weighed again from its first state.
    for (int j = k + 1; j < list.size(); ++j) {
        const int key = keyOf(list[j]);
        stuck.remove(key);
        if (moved.remove(key))
            setBreakBefore(list[j], false);
        if (!list[j].table && list[j].block.blockFormat().headingLevel() == 2 && key != firstChapter
            && decided.remove(key)) {
            QTextBlockFormat bf = list[j].block.blockFormat();
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            bf.setTopMargin(docMm(2));
            QTextCursor(list[j].block).setBlockFormat(bf);
        }
    }
}

int GuidePdf::cutRow(QTextTable* table) const
{
    // The first row whose lines lie on two pages, unless its text is too
    // long to stand on half of one.
    const double pageHeight = doc.pageSize().height();
    for (int r = 0; r < table->rows(); ++r) {
        int top = INT_MAX;
        int bottom = -1;
        double tallest = 0;
        for (int c = 0; c < table->columns(); ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            double height = 0;
            for (QTextBlock b = doc.findBlock(cell.firstPosition()); b.isValid() && b.position() <= cell.lastPosition();
                 b = b.next()) {
                const int n = b.layout() ? b.layout()->lineCount() : 0;
                for (int i = 0; i < n; ++i)
                    height += b.layout()->lineAt(i).height();
                if (n > 0) {
                    top = qMin(top, linePage(b, 0));
                    bottom = qMax(bottom, linePage(b, n - 1));
                }
            }
            tallest = qMax(tallest, height);
        }
        if (bottom > top && tallest < pageHeight / 2)
            return r;
    }
    return -1;
}

void GuidePdf::splitTable(QTextTable* table, int row)
{
    // The rows from `row` on go to a new table after this one, under a copy
    // of the head rows, on a new page. Both keep the columns as laid out.
    const int head = table->format().headerRowCount();
    const int columns = table->columns();
    const int rows = table->rows();
    QVector<QTextLength> widths;
    double total = 0;
    QVector<double> lefts;
    for (int c = 0; c < columns; ++c) {
        const QTextBlock first = doc.findBlock(table->cellAt(0, c).firstPosition());
        lefts.append(doc.documentLayout()->blockBoundingRect(first).left());
    }
    const QRectF box = doc.documentLayout()->frameBoundingRect(table);
    lefts.append(box.right());
    for (int c = 0; c < columns; ++c)
        total += lefts[c + 1] - lefts[c];
    for (int c = 0; c < columns; ++c)
        widths.append(QTextLength(QTextLength::PercentageLength, 100 * (lefts[c + 1] - lefts[c]) / total));
    QTextTableFormat tf = table->format();
    tf.setColumnWidthConstraints(widths);
    table->setFormat(tf);
    tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);

    QTextCursor cur(&doc);
    cur.beginEditBlock();
    cur.setPosition(table->lastPosition() + 1);
    QTextTable* rest = cur.insertTable(head + rows - row, columns, tf);
    auto copy = [this](const QTextTableCell& from, const QTextTableCell& to) {
        QTextTableCell target = to;
        target.setFormat(from.format());
        QTextCursor out = target.firstCursorPosition();
        bool first = true;
        for (QTextBlock b = doc.findBlock(from.firstPosition()); b.isValid() && b.position() <= from.lastPosition();
             b = b.next()) {
            if (first)
                out.setBlockFormat(b.blockFormat());
            else
                out.insertBlock(b.blockFormat(), b.charFormat());
            first = false;
            QTextCursor in(b);
            in.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            out.insertFragment(in.selection());
        }
    };
    for (int r = 0; r < head; ++r)
        for (int c = 0; c < columns; ++c)
            copy(table->cellAt(r, c), rest->cellAt(r, c));
    for (int r = row; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            copy(table->cellAt(r, c), rest->cellAt(head + r - row, c));
    table->removeRows(row, rows - row);
    cur.endEditBlock();
}

bool GuidePdf::breakPages(int& from)
{
    // Finds the first place, from item `from` on, where a page break reads
    // badly and moves the break there; what follows is then weighed again,
    // from a few items before the change, as a heading or a picture before
    // it may have to come along.
    const QVector<Item> list = items();
    const double pageHeight = doc.pageSize().height();
    for (int k = qMax(0, from); k < list.size(); ++k) {
        const Item& item = list[k];
        const QTextBlock& b = item.block;
        const int key = keyOf(item);
        const int level = item.table ? 0 : b.blockFormat().headingLevel();
        const bool picture = !item.table && isPicture(b);
        from = qMax(0, k - 3);

        // A chapter starts on a new page, or below the end of the one before
        // when that leaves its page less than half full.
        if (level == 2 && k > 0 && !decided.contains(key)) {
            decided.insert(key);
            const double fill = bottomOf(list[k - 1]) / pageHeight - lastPage(list[k - 1]);
            if (fill < 0.5) {
                QTextBlockFormat bf = b.blockFormat();
                bf.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
                bf.setTopMargin(docMm(10));
                QTextCursor(b).setBlockFormat(bf);
                resetAfter(list, k);
                return true;
            }
        }
        // A heading stays with what it heads, a picture with its caption, a
        // line that ends in a colon with what it introduces.
        const bool leadIn = !item.table && level == 0 && b.text().trimmed().endsWith(QLatin1Char(':'));
        if ((level >= 2 || picture || leadIn) && k + 1 < list.size() && !breaksBefore(item)
            && firstPage(list[k + 1]) > lastPage(item)) {
            moveToNextPage(list, k);
            return true;
        }
        // A picture does not open a page away from the text it belongs to:
        // the text before it comes along.
        if (picture && k > 0 && !stuck.contains(key) && firstPage(item) > lastPage(list[k - 1])) {
            const Item& before = list[k - 1];
            if (breaksBefore(before) || firstPage(before) < lastPage(before)) {
                stuck.insert(key);
            } else {
                from = qMax(0, k - 4);
                moveToNextPage(list, k - 1);
                return true;
            }
        }
        // A table does not leave its head row alone at the foot of a page.
        const int headRows = item.table ? item.table->format().headerRowCount() : 0;
        if (headRows > 0 && item.table->rows() > headRows && !breaksBefore(item)) {
            const QTextBlock head = item.table->cellAt(0, 0).firstCursorPosition().block();
            const QTextBlock row = item.table->cellAt(headRows, 0).firstCursorPosition().block();
            if (linePage(row, 0) > linePage(head, 0)) {
                moveToNextPage(list, k);
                return true;
            }
        }
        // A table row is not cut by a page break: the table is split before
        // it, or moved whole when that is its first row.
        if (item.table && item.table != contents) {
            const int row = cutRow(item.table);
            if (row >= 0 && row <= headRows && !breaksBefore(item)) {
                moveToNextPage(list, k);
                return true;
            }
            if (row > headRows) {
                resetAfter(list, k);
                splitTable(item.table, row);
                return true;
            }
        }
        if (item.table || level > 0 || picture || breaksBefore(item))
            continue;
        // A short block of code is not cut, and a short paragraph leaves no
        // single line on either page.
        if (isFence(b)) {
            if (isFence(b.previous()))
                continue;
            int last = k;
            while (last + 1 < list.size() && !list[last + 1].table && isFence(list[last + 1].block)
                   && list[last + 1].block == list[last].block.next())
                ++last;
            const double height = bottomOf(list[last]) - lineTop(b, 0);
            if (lastPage(list[last]) > firstPage(item) && height < pageHeight / 2) {
                moveToNextPage(list, k);
                return true;
            }
            continue;
        }
        const int lines = b.layout()->lineCount();
        if (lines < 2 || lines > 6 || linePage(b, 0) == linePage(b, lines - 1))
            continue;
        int onFirst = 1;
        while (onFirst < lines && linePage(b, onFirst) == linePage(b, 0))
            ++onFirst;
        if (onFirst == 1 || onFirst == lines - 1) {
            moveToNextPage(list, k);
            return true;
        }
    }
    from = list.size();
    return false;
}

void GuidePdf::paginate()
{
    decided.clear();
    moved.clear();
    stuck.clear();
    firstChapter = -1;
    // The first chapter follows the contents on a page of its own.
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 2) {
            firstChapter = b.blockNumber();
            decided.insert(firstChapter);
            break;
        }
    // Filling in the page numbers does not move the text behind them, but
    // a number is checked once more against the final layout.
    for (int round = 0; round < 4; ++round) {
        int from = 0;
        int step = 0;
        for (; step < 5000; ++step) {
            layOut();
            if (!breakPages(from))
                break;
        }
        if (step == 5000)
            problems << QStringLiteral("the page breaks did not settle");
        const QString before = doc.toPlainText();
        fillPageNumbers();
        layOut();
        if (doc.toPlainText() == before)
            break;
    }
}

void GuidePdf::fillPageNumbers()
{
    if (!contents)
        return;
    collectHeadings();
    QList<Heading> entries;
    for (const Heading& h : headings)
        if (h.level == 2 || h.level == 3)
            entries.append(h);
    for (int r = 0; r < entries.size() && r < contents->rows(); ++r) {
        const QString page = QString::number(pageOf(entries[r].position));
        QTextTableCell cell = contents->cellAt(r, 1);
        QTextCursor c = cell.firstCursorPosition();
        c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        if (c.selectedText() != page)
            c.insertText(page);
    }
}

void GuidePdf::splitAtPageBreaks()
{
    // The layout paints a block whole wherever a page cuts it, and what the
    // page's clip hides still goes into the page's text layer: the line
    // before the break, a list item's number. So a block that runs over a
    // page break becomes two, one on each page, laid out as before.
    struct Cut {
        int position;
        qreal x;
    };
    QVector<Cut> cuts;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextLayout* l = b.layout();
        for (int i = 1; l && i < l->lineCount(); ++i)
            if (linePage(b, i) != linePage(b, i - 1))
                cuts.append({b.position() + l->lineAt(i).textStart(),
                             doc.documentLayout()->blockBoundingRect(b).left() + l->lineAt(i).x()});
    }
    if (cuts.isEmpty())
        return;
    const int pages = doc.pageCount();
    QTextCursor cur(&doc);
    QVector<QTextCursor> rests;   // they follow the edits made before them
    cur.beginEditBlock();
    for (int i = cuts.size() - 1; i >= 0; --i) {
        cur.setPosition(cuts[i].position);
        const QTextBlock b = cur.block();
        QTextBlockFormat rest = b.blockFormat();
        rest.setTopMargin(0);
        rest.setTextIndent(0);
        rest.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        if (QTextList* list = b.textList()) {
            // The rest is no new list item: no number, the item's indent.
            rest.setObjectIndex(-1);
            rest.setIndent(rest.indent() + list->format().indent());
        }
        QTextBlockFormat head = b.blockFormat();
        head.setBottomMargin(0);
        cur.setBlockFormat(head);
        const QChar before = doc.characterAt(cuts[i].position - 1);
        if (before == QLatin1Char(' ') || before == QChar::LineSeparator)
            cur.deletePreviousChar();
        cur.insertBlock(rest, cur.charFormat());
        rests.prepend(cur);
    }
    cur.endEditBlock();
    layOut();
    // Every line where it was: the same pages, the rest of each block at the
    // same place on its line, nothing over a page break.
    if (doc.pageCount() != pages)
        problems << QStringLiteral("splitting the blocks at the page breaks changed the page count");
    for (int i = 0; i < cuts.size(); ++i) {
        const QTextBlock b = rests[i].block();
        const double x = doc.documentLayout()->blockBoundingRect(b).left() + b.layout()->lineAt(0).x();
        if (qAbs(x - cuts[i].x) > 0.5)
            problems << QStringLiteral("the rest of a block moved on its line: \"%1\"").arg(b.text().left(60));
    }
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextLayout* l = b.layout();
        if (l && l->lineCount() > 1 && linePage(b, 0) != linePage(b, l->lineCount() - 1))
            problems << QStringLiteral("text still runs over a page break: \"%1\"").arg(b.text().left(60));
    }
}

void GuidePdf::checkLayout()
{
    const double width = doc.pageSize().width() + 1;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.text().isEmpty())
            continue;
        if (!b.layout() || b.layout()->lineCount() < 1) {
            problems << QStringLiteral("text not laid out: \"%1\"").arg(b.text().left(60));
            continue;
        }
        // Lines in tables: the table's check below.
        if (!isPicture(b) && doc.frameAt(b.position()) == doc.rootFrame()) {
            const QRectF box = layout->blockBoundingRect(b);
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine line = b.layout()->lineAt(i);
                if (box.left() + line.x() + line.naturalTextWidth() > width) {
                    problems << QStringLiteral("line wider than the page: \"%1\"")
                                    .arg(b.text().mid(line.textStart(), line.textLength()).remove(QChar(WordJoiner)));
                    break;
                }
            }
        }
    }
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (table && !tableFits(doc, table, width)) {
            const QTextBlock first = doc.findBlock(table->firstPosition());
            problems << QStringLiteral("table wider than the page: \"%1\"").arg(first.text());
        }
    }
    // Every page but the last holds text besides its pictures and captions.
    QVector<bool> text(doc.pageCount(), false);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.text().trimmed().isEmpty() || isPicture(b) || isCaption(b) || !b.layout())
            continue;
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const int page = linePage(b, i);
            if (page >= 0 && page < text.size())
                text[page] = true;
        }
    }
    for (int p = 0; p + 1 < text.size(); ++p)
        if (!text[p])
            problems << QStringLiteral("page %1 holds nothing but pictures").arg(p + 1);
}

void GuidePdf::paintPages(QPdfWriter& pdf)
{
    QPainter p(&pdf);
    const QSizeF page = doc.pageSize();
    const int pages = doc.pageCount();
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPointSizeF(8);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            pdf.newPage();
        p.save();
        p.translate(mm(MarginSide), mm(MarginTop) - i * page.height());
        const QRectF clip(0, i * page.height(), page.width(), page.height());
        p.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext ctx;
        // No block runs over a page break any more; a block moved to the
        // next page may start a fraction of a dot above it.
        ctx.clip = clip.adjusted(0, 0.5, 0, -0.5);
        ctx.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&p, ctx);
        p.restore();

        p.setFont(small);
        p.setPen(QColor(0x55, 0x5f, 0x6a));
        const double left = mm(MarginSide);
        const double right = mm(MarginSide) + page.width();
        if (i > 0) {
            const QRectF head(left, mm(10), page.width(), mm(6));
            p.drawText(head, Qt::AlignLeft | Qt::AlignBottom, title);
            p.setPen(QPen(ruleColor, mm(0.2)));
            p.drawLine(QPointF(left, mm(17)), QPointF(right, mm(17)));
            p.setPen(QColor(0x55, 0x5f, 0x6a));
        }
        const double footTop = mm(MarginTop) + page.height() + mm(6);
        p.drawText(QRectF(left, footTop, page.width(), mm(6)), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("%1 / %2").arg(i + 1).arg(pages));
    }
}
