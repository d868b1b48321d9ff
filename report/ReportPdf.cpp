#include "ReportPdf.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tirevo {

namespace {

// Points (1/72 inch) throughout: the writer's resolution is set to match.
constexpr int kResolution = 72;
constexpr double kPageWidth = 595.28;
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 42;
constexpr double kContentWidth = kPageWidth - 2 * kMargin;
constexpr double kFooterHeight = 24;
constexpr double kBottom = kPageHeight - kMargin - kFooterHeight;
constexpr double kChartHeight = 230;
constexpr double kChartLeftAxis = 34;
constexpr double kChartBottomAxis = 16;
constexpr int kColumnsPerPoint = 2;
constexpr double kMarkerRadius = 2.6;
constexpr double kCellPadding = 4;
constexpr int kMaxProblemsShown = 20;
constexpr double kHalfMinuteMs = 30000;
constexpr const char* kReportTitle = "pH measurement report";

// The document's metadata as PDF/A wants it: what the document information
// says (title, creator tool, producer, date), and the author, which this
// writer has no other way to set.
QByteArray XmpMetadata(const QString& title, const QString& author, const QString& creatorTool)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    const QString xml = QStringLiteral(
        "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "    <rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" rdf:about=\"\">\n"
        "      <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n"
        "      <dc:creator><rdf:Seq><rdf:li>%2</rdf:li></rdf:Seq></dc:creator>\n"
        "    </rdf:Description>\n"
        "    <rdf:Description xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" rdf:about=\"\" "
        "xmp:CreatorTool=\"%3\" "
        "xmp:CreateDate=\"%4\" xmp:ModifyDate=\"%4\"/>\n"
        "    <rdf:Description xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" rdf:about=\"\" pdf:Producer=\"Qt "
        "%5\"/>\n"
        "    <rdf:Description xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\" rdf:about=\"\" "
        "pdfaid:part=\"1\" "
        "pdfaid:conformance=\"B\"/>\n"
        "  </rdf:RDF>\n"
        "</x:xmpmeta>\n"
        "<?xpacket end='w'?>\n");
    return xml
        .arg(title.toHtmlEscaped(), author.toHtmlEscaped(), creatorTool.toHtmlEscaped(), date,
             QString::fromLatin1(qVersion()))
        .toUtf8();
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Number(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString DurationText(double ms)
{
    const auto seconds = static_cast<long long>(std::llround(ms / 1000.0));
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString SignedNumber(double value, int decimals)
{
    const QString text = Number(value, decimals);
    return value >= 0 && !text.startsWith(QLatin1Char('-')) ? QLatin1Char('+') + text : text;
}

QString AlarmWhatText(const std::string& what)
{
    if (what == "clear")
        return QStringLiteral("cleared");
    if (what == "lost")
        return QStringLiteral("raised: meter lost");
    return QStringLiteral("raised: ") + Q(what);
}

// A sample's reading, or nothing when its field holds none (an edited file):
// such a sample is listed but not drawn, and does not stretch the chart to 0.
std::optional<double> SamplePh(const ReportSample& sample)
{
    bool ok = false;
    const double v = QString::fromStdString(sample.ph).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// A step of 1, 2 or 5 times a power of ten that gives about `count` ticks.
double NiceStep(double span, int count)
{
    const double raw = span / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= raw)
            return factor * power;
    return 10 * power;
}

}  // namespace

ReportPdf::ReportPdf(ReportFontFamily font) : family_(std::move(font)) {}

int ReportPdf::ChartColumns()
{
    return static_cast<int>((kContentWidth - kChartLeftAxis) * kColumnsPerPoint);
}

QFont ReportPdf::fontOf(Style style) const
{
    const bool bold = style != Style::Body && style != Style::Small;
    QFont font(bold ? family_.bold : family_.regular);
    font.setBold(bold);
    switch (style) {
    case Style::Title:
        font.setPointSizeF(18);
        break;
    case Style::Heading:
        font.setPointSizeF(12);
        break;
    case Style::Small:
        font.setPointSizeF(7.5);
        break;
    default:
        font.setPointSizeF(8.5);
    }
    // No shaping for Latin text, so no ligatures: an "ff" drawn as one glyph
    // would leave "offset" and "buffer" unfindable in the PDF.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

double ReportPdf::lineHeight(Style style) const
{
    return QFontMetricsF(fontOf(style), device_).height() * 1.25;
}

void ReportPdf::newPage()
{
    pages_.emplace_back();
    y_ = kMargin;
}

void ReportPdf::need(double height)
{
    if (y_ + height > kBottom)
        newPage();
}

void ReportPdf::addText(const QString& text, Style style, double indent)
{
    const double h = lineHeight(style);
    need(h);
    pages_.back().push_back({Item::Kind::Text, QRectF(kMargin + indent, y_, kContentWidth - indent, h), text,
                             style, Qt::AlignLeft | Qt::AlignVCenter});
    y_ += h;
}

void ReportPdf::addParagraph(const QString& text, Style style)
{
    // Words onto lines of the content's width.
    const QFontMetricsF metrics(fontOf(style), device_);
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > kContentWidth) {
            addText(line, style);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        addText(line, style);
}

void ReportPdf::addHeading(const QString& text)
{
    // A heading never ends a page alone: room for it and two lines below.
    need(lineHeight(Style::Heading) + 3 * lineHeight(Style::Body) + 8);
    y_ += 8;
    addText(text, Style::Heading);
    pages_.back().push_back({Item::Kind::Rule, QRectF(kMargin, y_, kContentWidth, 0), {}, Style::Body, {}});
    y_ += 3;
}

void ReportPdf::addRow(const std::vector<QString>& cells, const std::vector<double>& widths, Style style)
{
    const double h = lineHeight(style);
    const QFontMetricsF metrics(fontOf(style), device_);
    double x = kMargin;
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
        const double w = widths[i] * kContentWidth;
        const QString text = metrics.elidedText(cells[i], Qt::ElideRight, w - kCellPadding);
        pages_.back().push_back({Item::Kind::Text, QRectF(x, y_, w - kCellPadding, h), text, style,
                                 Qt::AlignLeft | Qt::AlignVCenter});
        x += w;
    }
    y_ += h;
}

void ReportPdf::addTable(const std::vector<QString>& header, const std::vector<double>& widths,
                         const std::vector<std::vector<QString>>& rows)
{
    const double h = lineHeight(Style::Body);
    need(2 * h);
    addRow(header, widths, Style::Bold);
    for (const auto& row : rows) {
        if (y_ + h > kBottom) {
            // The header again on the next page.
            newPage();
            addRow(header, widths, Style::Bold);
        }
        addRow(row, widths, Style::Body);
    }
}

void ReportPdf::layout(const ReportData& data)
{
    pages_.clear();
    newPage();
    const ReportRequest& r = data.request;

    // 1. Header
    addText(QString::fromLatin1(kReportTitle), Style::Title);
    y_ += 4;
    QStringList serials;
    for (const auto& s : data.serials)
        serials << Q(s);
    addText((serials.size() > 1 ? QStringLiteral("Meters: ") : QStringLiteral("Meter: ")) +
                (serials.isEmpty() ? QStringLiteral("none found") : serials.join(QStringLiteral(", "))),
            Style::Body);
    addText(data.hasPeriod ? QStringLiteral("Period: %1 to %2")
                                 .arg(Q(ReportTimeText(data.fromUtcMs)), Q(ReportTimeText(data.toUtcMs)))
                           : QStringLiteral("Period: no data found"),
            Style::Body);
    addText(QStringLiteral("Made %1 by %2")
                .arg(Q(ReportTimeText(static_cast<double>(r.madeAtUtcMs))), Q(r.madeBy)),
            Style::Body);
    addText(QStringLiteral("Program: tirevo %1").arg(Q(r.version)), Style::Body);

    // 2. Chart
    addHeading(QStringLiteral("pH over the period"));
    need(kChartHeight + 4);
    pages_.back().push_back(
        {Item::Kind::Chart, QRectF(kMargin, y_, kContentWidth, kChartHeight), {}, Style::Small, {}});
    y_ += kChartHeight + 4;
    addText(
        QStringLiteral("Line: the readings (lowest and highest of each step across); circles: the samples%1.")
            .arg(r.highLimit || r.lowLimit ? QStringLiteral("; dashed: the alarm limits") : QString()),
        Style::Small);

    // 3. Figures
    addHeading(QStringLiteral("Figures"));
    const ReadingFigures& f = data.figures;
    const std::vector<double> pair = {0.3, 0.7};
    std::vector<std::vector<QString>> figures = {{QStringLiteral("Readings"), QString::number(f.count)}};
    if (f.count > 0) {
        figures.push_back({QStringLiteral("First"), Q(ReportTimeText(f.firstUtcMs))});
        figures.push_back({QStringLiteral("Last"), Q(ReportTimeText(f.lastUtcMs))});
        figures.push_back({QStringLiteral("Minimum"), Number(f.minimum, 2) + QStringLiteral(" pH")});
        figures.push_back({QStringLiteral("Maximum"), Number(f.maximum, 2) + QStringLiteral(" pH")});
        figures.push_back({QStringLiteral("Mean"), Number(f.mean, 2) + QStringLiteral(" pH")});
        figures.push_back(
            {QStringLiteral("Standard deviation"), Number(f.standardDeviation, 3) + QStringLiteral(" pH")});
    }
    if (r.highLimit || r.lowLimit) {
        QStringList limits;
        if (r.lowLimit)
            limits << QStringLiteral("low %1").arg(Number(*r.lowLimit, 2));
        if (r.highLimit)
            limits << QStringLiteral("high %1").arg(Number(*r.highLimit, 2));
        figures.push_back({QStringLiteral("Alarm limits"), limits.join(QStringLiteral(", "))});
        figures.push_back({QStringLiteral("Time outside the limits"), DurationText(f.outsideMs)});
    }
    addTable({QStringLiteral("Figure"), QStringLiteral("Value")}, pair, figures);

    // 4. Samples
    addHeading(QStringLiteral("Samples"));
    if (data.samples.empty()) {
        addText(QStringLiteral("No samples in the period."), Style::Body);
    } else {
        std::vector<std::vector<QString>> rows;
        for (const auto& s : data.samples)
            rows.push_back({Q(s.time), Q(s.name), Q(s.ph),
                            s.stable ? QStringLiteral("yes") : QStringLiteral("no"), Q(s.serial)});
        addTable({QStringLiteral("Time"), QStringLiteral("Name"), QStringLiteral("pH"),
                  QStringLiteral("Stable"), QStringLiteral("Serial")},
                 {0.25, 0.35, 0.1, 0.1, 0.2}, rows);
    }

    // 5. Calibrations
    addHeading(QStringLiteral("Calibrations"));
    const bool anyInForce = std::any_of(data.calibrations.begin(), data.calibrations.end(),
                                        [](const ReportCalibration& c) { return c.inForce; });
    addParagraph(anyInForce
                     ? QStringLiteral("Rows marked \"in force\" are the last passed calibration before the "
                                      "period; the others were made in it.")
                     : QStringLiteral("No passed calibration before the period was found."),
                 Style::Body);
    if (!data.calibrations.empty()) {
        std::vector<std::vector<QString>> rows;
        for (const auto& c : data.calibrations)
            rows.push_back({Q(c.time), Q(c.serial), QString::number(c.point), Q(c.buffer), Q(c.asFound),
                            Q(c.asLeft), Q(c.error),
                            Q(c.result) + (c.inForce ? QStringLiteral(" (in force)") : QString())});
        addTable({QStringLiteral("Time"), QStringLiteral("Serial"), QStringLiteral("Point"),
                  QStringLiteral("Buffer"), QStringLiteral("As found"), QStringLiteral("As left"),
                  QStringLiteral("Error"), QStringLiteral("Result")},
                 {0.22, 0.14, 0.07, 0.09, 0.1, 0.1, 0.09, 0.19}, rows);
    }
    y_ += 6;
    addParagraph(
        QStringLiteral("The meter reports pH only, so the slope and offset below describe the change of "
                       "the electrode since the meter's last calibration, from the as-found readings of "
                       "point 1 and point 2 taken within an hour."),
        Style::Body);
    if (data.electrodes.empty()) {
        addText(QStringLiteral("No pair of points with as-found readings."), Style::Body);
    } else {
        std::vector<std::vector<QString>> rows;
        for (const auto& e : data.electrodes) {
            const ReportCalibration& one = data.calibrations[e.point1];
            const ReportCalibration& two = data.calibrations[e.point2];
            rows.push_back({Q(one.time), Q(one.serial), Q(one.buffer) + QStringLiteral(" / ") + Q(two.buffer),
                            Number(e.figures.slopePercent, 1) + QStringLiteral(" %"),
                            SignedNumber(e.figures.offsetPh, 2) + QStringLiteral(" pH, ") +
                                SignedNumber(e.figures.offsetMv, 1) + QStringLiteral(" mV"),
                            QString::fromLatin1(ElectrodeVerdictText(e.figures.verdict))});
        }
        addTable({QStringLiteral("Point 1"), QStringLiteral("Serial"), QStringLiteral("Buffers"),
                  QStringLiteral("Slope"), QStringLiteral("Offset at pH 7.00"), QStringLiteral("Verdict")},
                 {0.22, 0.14, 0.12, 0.1, 0.22, 0.2}, rows);
    }

    // 6. Alarms
    addHeading(QStringLiteral("Alarms"));
    if (data.alarms.empty()) {
        addText(QStringLiteral("No alarms in the period."), Style::Body);
    } else {
        std::vector<std::vector<QString>> rows;
        for (const auto& a : data.alarms)
            rows.push_back({Q(a.time), AlarmWhatText(a.what), Q(a.limit), Q(a.ph), Q(a.serial)});
        addTable({QStringLiteral("Time"), QStringLiteral("Alarm"), QStringLiteral("Limit"),
                  QStringLiteral("pH"), QStringLiteral("Serial")},
                 {0.25, 0.3, 0.12, 0.12, 0.21}, rows);
    }

    // 7. Records check
    addHeading(QStringLiteral("Records check"));
    addParagraph(Q(AuditSummaryText(data.verify)), Style::Body);
    addText(QStringLiteral("Chain head: seq %1").arg(data.verify.headSeq), Style::Body);
    if (!data.verify.headHash.empty())
        addText(QStringLiteral("hash ") + Q(data.verify.headHash), Style::Small, 0);
    int shown = 0;
    for (const auto& problem : data.verify.problems) {
        if (shown++ == kMaxProblemsShown) {
            addText(QStringLiteral("… and %1 more").arg(data.verify.problems.size() - kMaxProblemsShown),
                    Style::Body);
            break;
        }
        addParagraph(Q(AuditProblemText(problem)), Style::Body);
    }
    for (const auto& note : data.notes)
        addParagraph(QStringLiteral("Not read: ") + Q(note), Style::Body);
}

ReportOutcome ReportPdf::Write(const ReportData& data)
{
    ReportOutcome outcome;
    const QString path = Q(data.request.outFile);
    auto failed = [&](const QString& why) {
        outcome.error =
            QStringLiteral("The report could not be written to %1: %2.").arg(path, why).toStdString();
        return outcome;
    };
    // Written aside and renamed at the end: a failure (a full disk) leaves
    // no half a report, and an earlier report of that name stays whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    QPdfWriter writer(&file);
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    writer.setTitle(QString::fromLatin1(kReportTitle));
    const QString creatorTool = QStringLiteral("tirevo ") + Q(data.request.version);
    writer.setCreator(creatorTool);
    device_ = &writer;
    layout(data);
    // Just before the painter starts the file, which dates it to the same second.
    writer.setDocumentXmpMetadata(
        XmpMetadata(QString::fromLatin1(kReportTitle), Q(data.request.madeBy), creatorTool));

    QPainter painter;
    if (!painter.begin(&writer))
        return failed(QStringLiteral("the PDF could not be started"));
    paint(painter, data);
    const bool ended = painter.end();
    if (!ended || file.error() != QFileDevice::NoError) {
        const QString why = file.error() != QFileDevice::NoError
            ? file.errorString()
            : QStringLiteral("the PDF could not be finished");
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    outcome.written = true;
    outcome.pages = static_cast<int>(pages_.size());
    return outcome;
}

void ReportPdf::paint(QPainter& painter, const ReportData& data) const
{
    const int total = static_cast<int>(pages_.size());
    const QString made =
        QStringLiteral("Made %1").arg(Q(ReportTimeText(static_cast<double>(data.request.madeAtUtcMs))));
    for (int n = 0; n < total; ++n) {
        if (n > 0)
            static_cast<QPdfWriter*>(device_)->newPage();
        for (const Item& item : pages_[static_cast<std::size_t>(n)]) {
            switch (item.kind) {
            case Item::Kind::Text:
                painter.setFont(fontOf(item.style));
                painter.setPen(Qt::black);
                painter.drawText(item.rect, static_cast<int>(item.align), item.text);
                break;
            case Item::Kind::Rule:
                painter.setPen(QPen(Qt::darkGray, 0.6));
                painter.drawLine(item.rect.topLeft(), item.rect.topRight());
                break;
            case Item::Kind::Chart:
                paintChart(painter, item.rect, data);
                break;
            }
        }
        // 8. The footer.
        const QRectF footer(kMargin, kPageHeight - kMargin - kFooterHeight / 2, kContentWidth,
                            kFooterHeight / 2);
        painter.setFont(fontOf(Style::Small));
        painter.setPen(Qt::darkGray);
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, made);
        painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("page %1 of %2").arg(n + 1).arg(total));
    }
}

void ReportPdf::paintChart(QPainter& painter, const QRectF& rect, const ReportData& data) const
{
    const QRectF plot(rect.left() + kChartLeftAxis, rect.top() + 4, rect.width() - kChartLeftAxis,
                      rect.height() - kChartBottomAxis - 4);
    painter.setPen(QPen(Qt::black, 0.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    painter.setFont(fontOf(Style::Small));
    if (!data.hasPeriod) {
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No readings in the period."));
        return;
    }

    // The range: the readings, the samples and the limits, with a margin.
    double low = 1e300;
    double high = -1e300;
    auto take = [&](double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    };
    for (const auto& c : data.chart) {
        take(c.minimum);
        take(c.maximum);
    }
    for (const auto& s : data.samples)
        if (const std::optional<double> v = SamplePh(s))
            take(*v);
    if (data.request.highLimit)
        take(*data.request.highLimit);
    if (data.request.lowLimit)
        take(*data.request.lowLimit);
    if (low > high) {
        low = 6;
        high = 8;
    }
    const double pad = std::max((high - low) * 0.08, 0.05);
    low -= pad;
    high += pad;
    const double step = NiceStep(high - low, 6);
    const double span = data.toUtcMs - data.fromUtcMs;
    auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };
    auto xOfTime = [&](double t) {
        return plot.left() + (span > 0 ? (t - data.fromUtcMs) / span : 0.5) * plot.width();
    };

    // Grid and axis labels.
    const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
    for (double v = std::ceil(low / step) * step; v <= high; v += step) {
        const double y = yOf(v);
        painter.setPen(QPen(QColor(220, 220, 220), 0.4));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(rect.left(), y - 6, kChartLeftAxis - 3, 12),
                         Qt::AlignRight | Qt::AlignVCenter, Number(v, decimals));
    }
    constexpr int kTimeLabels = 4;
    for (int i = 0; i <= kTimeLabels; ++i) {
        const double t = data.fromUtcMs + span * i / kTimeLabels;
        const double x = xOfTime(t);
        const Qt::Alignment align = i == 0 ? Qt::AlignLeft
            : i == kTimeLabels             ? Qt::AlignRight
                                           : Qt::AlignHCenter;
        const QRectF box = i == 0 ? QRectF(x, plot.bottom() + 2, 100, 12)
            : i == kTimeLabels    ? QRectF(x - 100, plot.bottom() + 2, 100, 12)
                                  : QRectF(x - 50, plot.bottom() + 2, 100, 12);
        painter.setPen(Qt::black);
        // To the nearest minute: the end of a day ends at 23:59:59.999.
        painter.drawText(box, align | Qt::AlignTop, Q(ReportTimeText(t + kHalfMinuteMs).substr(0, 16)));
    }

    // The readings: one stroke down and up each column, joined to the next.
    painter.save();
    painter.setClipRect(plot);
    const double columnWidth = plot.width() / std::max(data.chartColumns, 1);
    QPainterPath readings;
    int previous = -2;
    for (const auto& c : data.chart) {
        const double x = plot.left() + (c.column + 0.5) * columnWidth;
        if (c.column != previous + 1)
            readings.moveTo(x, yOf(c.minimum));
        else
            readings.lineTo(x, yOf(c.minimum));
        if (c.maximum != c.minimum)
            readings.lineTo(x, yOf(c.maximum));
        previous = c.column;
    }
    painter.setPen(QPen(QColor(20, 80, 160), 0.7));
    painter.drawPath(readings);

    // The alarm limits.
    painter.setPen(QPen(QColor(200, 40, 40), 0.7, Qt::DashLine));
    for (const auto& limit : {data.request.highLimit, data.request.lowLimit})
        if (limit)
            painter.drawLine(QPointF(plot.left(), yOf(*limit)), QPointF(plot.right(), yOf(*limit)));

    // The samples.
    QPainterPath markers;
    for (const auto& s : data.samples) {
        const double v = QString::fromStdString(s.ph).toDouble();
        markers.addEllipse(QPointF(xOfTime(static_cast<double>(s.utcMs)), yOf(v)), kMarkerRadius,
                           kMarkerRadius);
    }
    painter.setPen(QPen(QColor(230, 120, 0), 0.8));
    painter.setBrush(QColor(255, 190, 90));
    painter.drawPath(markers);
    painter.restore();
    painter.setBrush(Qt::NoBrush);
}

}  // namespace tirevo
