#include "datalog/trend_chart.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstring>

#include "protocol/rounding.h"

namespace kvt {

namespace {

constexpr QRgb White = 0xFFFFFFFFu;
constexpr QRgb Black = 0xFF000000u;
constexpr int AxisX = 50;
constexpr int GridStartX = 48;
constexpr int ScrollFrom = 60;
constexpr int ScrollTo = 55;
constexpr int Step = ScrollFrom - ScrollTo;

const char* const CurrentLabels[] = {"22mA", "17,6mA", "13,2mA", "8,8mA", "4,4mA", "0mA"};
const char* const VoltageLabels[] = {"11V", "8,8V", "6,6V", "4,4V", "2,2V", "0V"};
const char* const MillivoltLabels[] = {"600mV", "480mV", "360mV", "240mV", "120mV", "0mV"};
const char* const PercentLabels[] = {"100%", "80%", "60%", "40%", "20%", "0%"};

// Floor of A / B for B > 0.
int64_t FloorDiv(int64_t A, int64_t B)
{
    int64_t q = A / B;
    if ((A % B != 0) && (A < 0))
        --q;
    return q;
}

} // namespace

TTrendChart::TTrendChart(int Width, int Height, double Scale)
    : FWidth(std::max(Width, 1)), FHeight(std::max(Height, 1)), FScale(Scale >= 1.0 ? Scale : 1.0),
      FUnscaled(FScale == 1.0)
{
    FImage = QImage(Dev(FWidth), Dev(FHeight), QImage::Format_RGB32);
    FImage.setDevicePixelRatio(FScale);
    // The labels were laid out for an 8 pt font; the window passes its own.
    FFont.setPointSize(8);
    FImage.fill(White);
    FBits = FImage.bits();
    FStride = FImage.bytesPerLine();
    FPlot = FHeight - Top - 1;
}

void TTrendChart::FillRect(int X0, int Y0, int X1, int Y1, QRgb Color)
{
    X0 = Dev(std::max(X0, 0));
    Y0 = Dev(std::max(Y0, 0));
    X1 = Dev(std::min(X1, FWidth));
    Y1 = Dev(std::min(Y1, FHeight));
    for (int y = Y0; y < Y1; ++y)
        std::fill(Pixels(y) + X0, Pixels(y) + std::max(X0, X1), Color);
}

void TTrendChart::HLine(int X0, int X1, int Y, QRgb Color)
{
    FillRect(X0, Y, X1, Y + 1, Color);
}

// A 1 px line that leaves out its last point, so that segments chain without overlap. Only
// the part inside the image is walked, so far-off values cost nothing.
void TTrendChart::Line(int X0, int64_t Y0, int X1, int64_t Y1, QRgb Color)
{
    const int64_t dx = static_cast<int64_t>(X1) - X0;
    const int64_t dy = Y1 - Y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    if (adx == 0 && ady == 0)
        return;
    if (adx >= ady) {
        const int64_t sx = dx > 0 ? 1 : -1;
        for (int64_t t = 0; t < adx; ++t) {
            const int64_t x = X0 + sx * t;
            if (x >= 0 && x < FWidth)
                Plot(static_cast<int>(x), Y0 + FloorDiv(2 * t * dy + adx, 2 * adx), Color);
        }
        return;
    }
    // Steep: walk only the rows that are inside the image.
    int64_t tFirst = 0;
    int64_t tEnd = ady;
    if (dy > 0) {
        tFirst = std::max<int64_t>(0, -Y0);
        tEnd = std::min<int64_t>(ady, FHeight - Y0);
    } else {
        tFirst = std::max<int64_t>(0, Y0 - (FHeight - 1));
        tEnd = std::min<int64_t>(ady, Y0 + 1);
    }
    const int64_t sy = dy > 0 ? 1 : -1;
    for (int64_t t = tFirst; t < tEnd; ++t) {
        const int64_t x = X0 + FloorDiv(2 * t * dx + ady, 2 * ady);
        Plot(static_cast<int>(std::clamp<int64_t>(x, -1, FWidth)), Y0 + sy * t, Color);
    }
}

void TTrendChart::DrawLabels(const char* const* Labels)
{
    QPainter painter(&FImage);
    painter.setFont(FFont);
    painter.setPen(FLabelColor);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QBrush(Qt::white));
    const QFontMetrics metrics(FFont);
    const int band = FPlot / 5;
    const int ys[6] = {0, band, 2 * band, 3 * band, 4 * band, FPlot - 8};
    for (int i = 0; i < 6; ++i)
        painter.drawText(0, ys[i] + metrics.ascent(), QString::fromUtf8(Labels[i]));
}

bool TTrendChart::DrawGraph(TSignalKind Kind)
{
    FBits = FImage.bits(); // a copy of the image held elsewhere is detached from here
    FillRect(0, 0, FWidth, FHeight, White);
    for (int y = Top; y < Top + FPlot; ++y)
        Plot(AxisX, y, FGray);
    for (int i = 0; i < 5; ++i)
        HLine(GridStartX, FWidth, Top + 30 * i, FGray);
    HLine(GridStartX, FWidth, Top + FPlot, FGray);

    const char* const* labels = nullptr;
    switch (Kind) {
    case TSignalKind::Current:
        labels = CurrentLabels;
        FFullScale = 22000;
        FUnitLabel = "uA";
        break;
    case TSignalKind::Voltage:
        labels = VoltageLabels;
        FFullScale = 11000;
        FUnitLabel = "mV";
        break;
    case TSignalKind::Millivolt:
        labels = MillivoltLabels;
        FFullScale = 600;
        FUnitLabel = "mV";
        break;
    case TSignalKind::Percent:
        labels = PercentLabels;
        FFullScale = 100;
        FUnitLabel = "%";
        break;
    case TSignalKind::None:
        return false;
    }
    DrawLabels(labels);
    FBits = FImage.bits();
    return true;
}

int64_t TTrendChart::YOf(double Value) const
{
    // Far beyond the image the exact row no longer changes a visible pixel; the bound keeps
    // the line arithmetic within 64 bits.
    const double y = 154.0 - Value / FFullScale * 150.0;
    return RoundHalfEven(std::clamp(y, -1e9, 1e9));
}

void TTrendChart::PlaceStart(int Value)
{
    if (FFullScale == 0)
        return;
    FPenX = FWidth - 5;
    FPenY = YOf(Value);
}

void TTrendChart::PlotStep(int Value)
{
    if (FFullScale == 0)
        return;
    FBits = FImage.bits();
    const int64_t y = YOf(Value);
    Line(FPenX, FPenY, FWidth - 1, y, Black);

    if (FWidth > ScrollFrom) {
        const int from = Dev(ScrollFrom);
        const int to = Dev(ScrollTo);
        const size_t bytes = static_cast<size_t>(FImage.width() - from) * sizeof(QRgb);
        for (int row = 0; row < FImage.height(); ++row)
            std::memmove(Pixels(row) + to, Pixels(row) + from, bytes);
    }
    FillRect(FWidth - Step, 0, FWidth, FHeight, White);
    const int band = FPlot / 5;
    for (int i = 0; i < 5; ++i)
        HLine(FWidth - Step, FWidth, Top + i * band, FGray);
    HLine(FWidth - Step, FWidth, Top + FPlot, FGray);

    FPenX = FWidth - 6;
    FPenY = y;
}

} // namespace kvt
