// Lays out and paints a report's data as an A4 PDF/A-1b: the layout goes
// first, into pages of items, so that each page can say "page N of M".
#pragma once

#include "ReportData.h"
#include "ReportFonts.h"
#include "ReportModuleApi.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;
class QPaintDevice;

namespace tirevo {

class ReportPdf {
public:
    explicit ReportPdf(ReportFontFamily font);

    // The chart's columns: the page's resolution across the chart.
    static int ChartColumns();

    ReportOutcome Write(const ReportData& data);

private:
    enum class Style { Body, Bold, Title, Heading, Small };
    struct Item {
        enum class Kind { Text, Chart, Rule };
        Kind kind = Kind::Text;
        QRectF rect;
        QString text;
        Style style = Style::Body;
        Qt::Alignment align = Qt::AlignLeft;
    };
    using Page = std::vector<Item>;

    QFont fontOf(Style style) const;
    double lineHeight(Style style) const;
    void layout(const ReportData& data);
    void newPage();
    void need(double height);
    void addText(const QString& text, Style style, double indent = 0);
    void addParagraph(const QString& text, Style style);
    void addHeading(const QString& text);
    void addTable(const std::vector<QString>& header, const std::vector<double>& widths,
                  const std::vector<std::vector<QString>>& rows);
    void addRow(const std::vector<QString>& cells, const std::vector<double>& widths, Style style);
    void paint(QPainter& painter, const ReportData& data) const;
    void paintChart(QPainter& painter, const QRectF& rect, const ReportData& data) const;

    ReportFontFamily family_;
    QPaintDevice* device_ = nullptr;  // for the fonts' metrics while laying out
    std::vector<Page> pages_;
    double y_ = 0;
};

}  // namespace tirevo
