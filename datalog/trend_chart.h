// The trend chart: a strip chart drawn straight into its own bitmap. There is no stored
// series; the picture itself is the chart.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>

#include <cstdint>
#include <string_view>

#include "signal/signal_kind.h"

namespace kvt {

class TTrendChart {
public:
    static constexpr int DefaultWidth = 633;
    static constexpr int DefaultHeight = 155;
    static constexpr int Top = 4; // T: y of the top grid line

    // Defaults: a mid gray for axis and grid, black 8 pt labels; the window passes the system's
    // gray-text and window-text colours and its font. Every coordinate is in logical pixels; the
    // bitmap holds Scale device pixels per logical one (the screen's device pixel ratio), so
    // that lines and labels stay sharp on a scaled screen.
    explicit TTrendChart(int Width = DefaultWidth, int Height = DefaultHeight, double Scale = 1.0);

    void SetGrayText(const QColor& Color) { FGray = Color.rgb(); }
    void SetLabelColor(const QColor& Color) { FLabelColor = Color; }
    void SetLabelFont(const QFont& Font) { FFont = Font; }

    // The bitmap to show. Paint it from this reference: a copy kept elsewhere would make
    // every plot step copy the whole image.
    const QImage& Image() const { return FImage; }

    // Clears the chart and draws axis, grid and, for a kind other than None, the scale
    // labels; then sets the full-scale value and the unit label. Returns false for None,
    // which leaves both as they were.
    bool DrawGraph(TSignalKind Kind);
    bool DrawGraph(int ConfigType, int InputMode) { return DrawGraph(SignalKindOf(ConfigType, InputMode)); }

    // Full-scale value F (0 until a DrawGraph with a kind) and the unit label text for LblDtaUnit.
    int FullScale() const { return FFullScale; }
    std::string_view UnitLabel() const { return FUnitLabel; }

    // y = 154 - v / F * 150, rounded halves to even; needs F != 0.
    int64_t YOf(double Value) const;

    // After the first reading of a run: the pen to (W - 5, y), nothing drawn.
    void PlaceStart(int Value);

    // One stored sample: the black segment to (W - 1, y), the 5 px scroll of the plot area,
    // a fresh strip with its grid stubs, the pen to (W - 6, y). Costs the same whatever the
    // number of samples so far. While F is 0 nothing is plotted.
    void PlotStep(int Value);

    int PenX() const { return FPenX; }
    int64_t PenY() const { return FPenY; }

private:
    void FillRect(int X0, int Y0, int X1, int Y1, QRgb Color);
    void HLine(int X0, int X1, int Y, QRgb Color);
    void Line(int X0, int64_t Y0, int X1, int64_t Y1, QRgb Color);
    void Plot(int X, int64_t Y, QRgb Color)
    {
        if (X < 0 || X >= FWidth || Y < 0 || Y >= FHeight)
            return;
        if (FUnscaled)
            Pixels(static_cast<int>(Y))[X] = Color;
        else
            FillRect(X, static_cast<int>(Y), X + 1, static_cast<int>(Y) + 1, Color);
    }
    // The first device pixel of logical coordinate V.
    int Dev(int V) const { return FUnscaled ? V : static_cast<int>(V * FScale); }
    QRgb* Pixels(int Y) { return reinterpret_cast<QRgb*>(FBits + static_cast<ptrdiff_t>(Y) * FStride); }
    void DrawLabels(const char* const* Labels);

    QImage FImage;
    uchar* FBits = nullptr;
    qsizetype FStride = 0;
    int FWidth;  // logical
    int FHeight;
    double FScale;
    bool FUnscaled;
    int FPlot = 0; // P: top grid line to bottom grid line
    int FFullScale = 0;
    std::string_view FUnitLabel;
    int FPenX = 0;
    int64_t FPenY = 0;
    QRgb FGray = qRgb(128, 128, 128);
    QColor FLabelColor = Qt::black;
    QFont FFont;
};

} // namespace kvt
