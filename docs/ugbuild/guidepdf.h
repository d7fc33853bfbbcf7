#pragma once
// Lays out the user guide's Markdown text as a paginated A4 document and
// writes it as a PDF: a title page with a table of contents, chapters on new
// pages (or below a short end of the one before), pictures at a scale that
// keeps their labels readable, a running head and page numbers. Each page's
// text layer holds only the text printed on it.

#include <QDir>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QVector>

#include <memory>

class QPdfWriter;
class QTextTable;

class GuidePdf
{
public:
    // pictures: the folder the text's pictures are read from.
    GuidePdf(const QString& markdown, const QDir& pictures);
    ~GuidePdf();

    // Lays out and writes the PDF; false with errors() filled when a picture
    // is missing or would print too small, text was not placed, a table or a
    // line is wider than the page, a page holds nothing but pictures, or the
    // file cannot be written.
    bool write(const QString& path);
    QStringList errors() const { return problems; }
    int pageCount() const;

private:
    struct Heading {
        int level;
        QString text;
        int position;   // of its block in the document
    };
    // What the page breaks are decided on: a block of the root frame, or a table.
    struct Item {
        QTextBlock block;
        QTextTable* table = nullptr;
    };

    void styleDocument();
    void keepCodeWhole(const QVector<QPair<int, int>>& code);
    void placePictures();
    void layOut();
    void collectHeadings();
    void insertContents();
    void fitTables();
    void paginate();
    bool breakPages(int& from);
    void fillPageNumbers();
    void splitAtPageBreaks();
    int pageOf(int position) const;
    // Every text placed, every table and line within the page width, text
    // on every page but the last besides its pictures.
    void checkLayout();
    void paintPages(QPdfWriter& writer);

    // Geometry of the laid-out document, pages counted from 0.
    double lineTop(const QTextBlock& b, int line) const;
    int linePage(const QTextBlock& b, int line) const;
    int firstPage(const Item& item) const;
    int lastPage(const Item& item) const;
    double bottomOf(const Item& item) const;
    bool breaksBefore(const Item& item) const;
    void setBreakBefore(const Item& item, bool on);
    int keyOf(const Item& item) const;
    void moveToNextPage(const QVector<Item>& list, int k);
    void resetAfter(const QVector<Item>& list, int k);
    int cutRow(QTextTable* table) const;
    void splitTable(QTextTable* table, int row);
    QVector<Item> items() const;

    QString text;
    QDir pictureDir;
    std::unique_ptr<QPdfWriter> writer;
    QTextDocument doc;
    QString title;
    QList<Heading> headings;
    QTextTable* contents = nullptr;   // the table of contents
    // Items by the number of their first block, which the page breaks do not change.
    int firstChapter = -1;
    QSet<int> decided;   // chapters whose page break was weighed
    QSet<int> moved;     // items given a page break before them
    QSet<int> stuck;     // pictures that no break keeps with their text
    QStringList problems;
};
