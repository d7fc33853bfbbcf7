#pragma once
// Lays out the user guide's Markdown text as a paginated A4 document and
// writes it as a PDF: a title page with a table of contents, each chapter on
// a new page, pictures scaled to the page, a running head and page numbers.

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTextDocument>

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
    // is missing, text was not placed, a table is wider than the page or the
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

    void styleDocument();
    void placePictures();
    void layOut();
    void collectHeadings();
    void insertContents();
    bool keepHeadingsWithText();
    void fillPageNumbers();
    int pageOf(int position) const;
    // Every text placed, every table within the page width.
    void checkLayout();
    void paintPages(QPdfWriter& writer);

    QString text;
    QDir pictureDir;
    std::unique_ptr<QPdfWriter> writer;
    QTextDocument doc;
    QString title;
    QList<Heading> headings;
    QTextTable* contents = nullptr;   // the table of contents
    QStringList problems;
};
