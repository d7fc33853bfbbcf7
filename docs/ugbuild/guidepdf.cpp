#include "guidepdf.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>
#include <QVector>

namespace {

constexpr int Dpi = 300;
// Page body in millimetres from the paper's edges (A4: 210 x 297).
constexpr double MarginSide = 20;
constexpr double MarginTop = 24;
constexpr double MarginBottom = 22;

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
    // Moving a heading to the next page, or filling in a number, can move
    // the text behind it; repeat until nothing moves and every number
    // stands for the page its heading is on.
    for (int round = 0; round < 12; ++round) {
        layOut();
        if (keepHeadingsWithText())
            continue;
        const QString before = doc.toPlainText();
        fillPageNumbers();
        if (doc.toPlainText() == before)
            break;
    }
    layOut();
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
        if (bf.hasProperty(QTextFormat::BlockCodeFence)) {
            bf.setBackground(shadeColor);
            bf.setLeftMargin(docMm(3));
            bf.setTopMargin(0);
            bf.setBottomMargin(0);
            cur.setBlockFormat(bf);
        } else if (!b.textList()) {
            bf.setBottomMargin(docMm(2));
            cur.setBlockFormat(bf);
        }
    }
    // Code, in running text and in blocks, in the monospaced face. The
    // ranges are collected first: a format change may split fragments.
    QVector<QPair<int, int>> code;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().isValid() && isCode(it.fragment().charFormat()))
                code.append({it.fragment().position(), it.fragment().length()});
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
}

void GuidePdf::placePictures()
{
    const double width = doc.pageSize().width() * 96 / Dpi;
    const double maxHeight = doc.pageSize().height() * 96 / Dpi * 0.55;
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
        // Screen pixels shown a little smaller than on a 96 dpi screen,
        // never wider than the text or taller than about half a page.
        double w = qMin(pic.width() * 0.8, width);
        double h = pic.height() * w / pic.width();
        if (h > maxHeight) {
            w *= maxHeight / h;
            h = maxHeight;
        }
        f.format.setWidth(w);
        f.format.setHeight(h);
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
            headings.append({level, b.text(), b.position()});
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

int GuidePdf::pageOf(int position) const
{
    // Where its first line is: a block moved to the next page keeps its top
    // margin at the foot of the page before.
    const QTextBlock b = doc.findBlock(position);
    double y = doc.documentLayout()->blockBoundingRect(b).top();
    if (b.layout() && b.layout()->lineCount() > 0) {
        const QTextLine line = b.layout()->lineAt(0);
        y += line.y() + line.height() / 2;
    }
    return int(y / doc.pageSize().height()) + 1;
}

bool GuidePdf::keepHeadingsWithText()
{
    // A heading left at the foot of a page goes over with the text it heads,
    // a picture with its caption.
    bool moved = false;
    QTextCursor cur(&doc);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat bf = b.blockFormat();
        const bool picture = b.text() == QString(QChar::ObjectReplacementCharacter);
        if ((bf.headingLevel() < 2 && !picture) || bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            continue;
        const QTextBlock next = b.next();
        if (!next.isValid() || pageOf(next.position()) == pageOf(b.position()))
            continue;
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cur.setPosition(b.position());
        cur.setBlockFormat(bf);
        moved = true;
    }
    return moved;
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

void GuidePdf::checkLayout()
{
    const double width = doc.pageSize().width() + 1;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (!b.text().isEmpty() && (!b.layout() || b.layout()->lineCount() < 1))
            problems << QStringLiteral("text not laid out: \"%1\"").arg(b.text().left(60));
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        const QRectF box = layout->frameBoundingRect(table);
        bool fits = box.width() <= width;
        for (int r = 0; r < table->rows() && fits; ++r)
            for (int c = 0; c < table->columns() && fits; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                for (auto it = cell.begin(); !it.atEnd() && fits; ++it) {
                    const QTextBlock b = it.currentBlock();
                    if (!b.isValid() || !b.layout())
                        continue;
                    const QRectF br = layout->blockBoundingRect(b);
                    fits = br.left() + b.layout()->boundingRect().width() <= width;
                }
            }
        if (!fits) {
            const QTextBlock first = doc.findBlock(table->firstPosition());
            problems << QStringLiteral("table wider than the page: \"%1\"").arg(first.text());
        }
    }
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
        // A line moved to the next page may start a fraction of a dot above
        // it; a slightly smaller clip keeps it off this page's text.
        ctx.clip = clip.adjusted(0, 1, 0, -1);
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
