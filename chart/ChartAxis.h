// The axes: TChartAxisTitle, TCustomChartAxis, TChartAxis, TChartDepthAxis:
// range, pixel mapping, labels, ticks and grids. Implemented in ChartAxis.cpp;
// their drawing in ChartAxisDraw.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "chart/ChartCanvas.h"
#include "chart/ChartEngineTypes.h"
#include "chart/ChartLabelSteps.h"
#include "framework/Surface.h"

namespace tempolog {

class TChartSeries;
class TCustomAxisPanel;

// The title of an axis: a caption drawn beside the labels, turned by Angle.
// Changes repaint the chart.
class TChartAxisTitle {
 public:
  TChartAxisTitle(TCustomChartAxis& axis, std::int32_t angle);
  TChartAxisTitle(const TChartAxisTitle&) = delete;
  TChartAxisTitle& operator=(const TChartAxisTitle&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string value);
  // 0 to 359 degrees; else ChartException "Axis Title Angle must be between
  // 0 and 359 degrees" and the angle stays.
  std::int32_t Angle() const { return angle_; }
  void SetAngle(std::int32_t value);
  TChartFontObject& Font() { return font_; }
  const TChartFontObject& Font() const { return font_; }

 private:
  TCustomChartAxis& axis_;
  std::string caption_;
  std::int32_t angle_;
  TChartFontObject font_;
};

// One axis of the chart: its range (automatic from the series, or set by the
// user), the mapping between values and pixels, and the label step.
class TCustomChartAxis {
 public:
  TCustomChartAxis(TCustomAxisPanel& panel, bool horizontal, bool otherSide);
  virtual ~TCustomChartAxis();
  TCustomChartAxis(const TCustomChartAxis&) = delete;
  TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

  TCustomAxisPanel& ParentChart() const { return panel_; }
  bool Horizontal() const { return horizontal_; }
  bool OtherSide() const { return otherSide_; }
  virtual bool IsDepthAxis() const { return false; }

  // Published properties. Each setter stores the value and repaints the
  // chart only when it changes; refused values raise AxisException (or
  // ChartException for the angle) and leave the property as it was.
  bool Automatic() const { return automatic_; }
  void SetAutomatic(bool value);
  bool AutomaticMinimum() const { return automaticMinimum_; }
  void SetAutomaticMinimum(bool value);
  bool AutomaticMaximum() const { return automaticMaximum_; }
  void SetAutomaticMaximum(bool value);
  double Minimum() const { return minimum_; }
  void SetMinimum(double value);  // "Axis Minimum Value must be <= Maximum"
  double Maximum() const { return maximum_; }
  void SetMaximum(double value);  // "Axis Maximum Value must be >= Minimum"
  double Increment() const { return increment_; }
  void SetIncrement(double value);  // "Axis increment must be >= 0"
  std::int32_t LabelsSeparation() const { return labelsSeparation_; }
  void SetLabelsSeparation(std::int32_t value);  // "Labels Separation % must be greater than 0"
  bool ExactDateTime() const { return exactDateTime_; }
  void SetExactDateTime(bool value);
  bool Logarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool value);
  std::int32_t LogarithmicBase() const { return logarithmicBase_; }
  void SetLogarithmicBase(std::int32_t value);  // "Axis Logarithmic Base should be >= 2"
  bool Inverted() const { return inverted_; }
  void SetInverted(bool value);
  double StartPosition() const { return startPosition_; }
  void SetStartPosition(double value);
  double EndPosition() const { return endPosition_; }
  void SetEndPosition(double value);
  double PositionPercent() const { return positionPercent_; }
  void SetPositionPercent(double value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  // Labels.
  bool Labels() const { return labels_; }
  void SetLabels(bool value);
  TChartFontObject& LabelsFont() { return labelsFont_; }
  const TChartFontObject& LabelsFont() const { return labelsFont_; }
  // 0 to 359 degrees; else ChartException "Axis Labels Angle must be between
  // 0 and 359 degrees" and the angle stays.
  std::int32_t LabelsAngle() const { return labelsAngle_; }
  void SetLabelsAngle(std::int32_t value);
  bool LabelsMultiLine() const { return labelsMultiLine_; }  // blanks start new lines
  void SetLabelsMultiLine(bool value);
  bool LabelsOnAxis() const { return labelsOnAxis_; }  // labels at the very ends too
  void SetLabelsOnAxis(bool value);
  std::int32_t LabelsSize() const { return labelsSize_; }  // 0: measured
  void SetLabelsSize(std::int32_t value);
  TAxisLabelStyle LabelStyle() const { return labelStyle_; }
  void SetLabelStyle(TAxisLabelStyle value);
  const std::string& AxisValuesFormat() const { return axisValuesFormat_; }
  void SetAxisValuesFormat(std::string value);
  const std::string& DateTimeFormat() const { return dateTimeFormat_; }  // empty: by step
  void SetDateTimeFormat(std::string value);
  bool RoundFirstLabel() const { return roundFirstLabel_; }  // first label a multiple of the step
  void SetRoundFirstLabel(bool value);

  // Lines. The pens belong to the axis; changing them repaints the chart.
  TChartAxisPen& Axis() { return axisPen_; }  // the axis line
  const TChartAxisPen& Axis() const { return axisPen_; }
  TDarkGrayPen& Ticks() { return ticks_; }  // outer ticks
  const TDarkGrayPen& Ticks() const { return ticks_; }
  std::int32_t TickLength() const { return tickLength_; }
  void SetTickLength(std::int32_t value);
  TDarkGrayPen& TicksInner() { return ticksInner_; }
  const TDarkGrayPen& TicksInner() const { return ticksInner_; }
  std::int32_t TickInnerLength() const { return tickInnerLength_; }
  void SetTickInnerLength(std::int32_t value);
  TDarkGrayPen& MinorTicks() { return minorTicks_; }
  const TDarkGrayPen& MinorTicks() const { return minorTicks_; }
  std::int32_t MinorTickLength() const { return minorTickLength_; }
  void SetMinorTickLength(std::int32_t value);
  // Minor ticks (and minor grid lines) between two labels.
  std::int32_t MinorTickCount() const { return minorTickCount_; }
  void SetMinorTickCount(std::int32_t value);
  TDottedGrayPen& Grid() { return grid_; }
  const TDottedGrayPen& Grid() const { return grid_; }
  bool GridCentered() const { return gridCentered_; }  // grid lines between labels
  void SetGridCentered(bool value);
  TChartHiddenPen& MinorGrid() { return minorGrid_; }
  const TChartHiddenPen& MinorGrid() const { return minorGrid_; }
  bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
  void SetTickOnLabelsOnly(bool value);

  // Title.
  TChartAxisTitle& Title() { return title_; }
  const TChartAxisTitle& Title() const { return title_; }
  std::int32_t TitleSize() const { return titleSize_; }  // 0: measured
  void SetTitleSize(std::int32_t value);

  // Working state, left by the last layout.
  double CurrentMinimum() const { return currentMinimum_; }
  double CurrentMaximum() const { return currentMaximum_; }
  double CurrentRange() const { return currentRange_; }
  std::int32_t StartPixel() const { return startPixel_; }
  std::int32_t EndPixel() const { return endPixel_; }
  std::int32_t PixelSize() const { return pixelSize_; }
  std::int32_t CenterPixel() const { return centerPixel_; }
  bool DateTimeAxis() const { return dateTimeAxis_; }
  void SetDateTimeAxis(bool value) { dateTimeAxis_ = value; }

  // Range: Minimum/Maximum from the series at automatic ends, then copied to
  // the working range.
  void ComputeRange();
  // Pixel span from the chart's PlotRect and Start/EndPosition.
  void UpdatePixelSpan();
  // Widens the working range so that startMargin pixels at the left/top end
  // and endMargin pixels at the far end stay free of data.
  void WidenRangeForMargins(int startMargin, int endMargin);

  // Value to pixel along the axis direction, from the working state only.
  std::int32_t ValueToPixel(double value) const;
  // Pixel along the axis direction to value; 0 when the span is below a pixel.
  double PixelToValue(std::int32_t pixel) const;

  // The label increment: LabelStepForCount of as many labels as fit.
  double ComputeLabelStep() const;
  double LabelStepForCount(std::int32_t maxLabels) const;
  // Size of the value's label along the axis, measured by the chart: font
  // height times lines for a label turned straight across the axis (90 or 270
  // degrees on a horizontal axis, 0 or 180 on a vertical one), else its
  // widest line.
  int LabelSizeAlongAxis(double value) const;
  // The label text of a value (number or date-time pattern, then the chart's
  // label hook, then multi-line splitting).
  virtual std::string LabelText(double value) const;

  // Which labels the axis draws: LabelStyle, or for talAuto what its
  // series carry (talText when the first series along the axis has a point
  // label, talValue with any active series, else talNone).
  TAxisLabelStyle EffectiveLabelStyle() const;

  // Layout: reserves the bands of the title, the labels and the ticks on the
  // axis' side of rect (shrinking it) and records TitlePos and LabelsPos.
  // With reserve false rect stays and the positions are set from its edge.
  void MeasureAxis(TRect& rect, bool reserve);
  // Band sizes in pixels (measured with the chart's canvas; 0 without one).
  std::int32_t TickBandSize() const;
  std::int32_t LabelBandSize();
  std::int32_t TitleBandSize();
  // The wider of the labels at the (rounded) ends of the range plus a blank,
  // measured with the chart's label hook suspended.
  std::int32_t WidestValueLabel();

  // Paint: title, labels, axis line, outer ticks, grid, inner ticks, minor
  // ticks, minor grid. With computeLinePos the axis line moves to the edge of
  // PlotRect (and PositionPercent). Draws nothing without the chart's canvas.
  void DrawAxis(bool computeLinePos);
  // Draws a label or title text with its reference point at (x, y), turned
  // by angle degrees, placed for this axis' side; lines split at
  // LineSeparator.
  void PlaceAxisText(int x, int y, std::string_view text, std::int32_t angle);
  // The next label value below v: v - step, or the calendar step back for
  // half-month to yearly date-time labels.
  double StepLabelValue(double v, double step) const;
  // The calendar boundary at or below v for the date-time step index i
  // (values up to 2.0 come back unchanged).
  static double RoundDateDown(int i, double v);

  // Whether (x, y) lies on the axis: the band from the labels to the axis
  // line plus 3 pixels, along the axis' pixel span.
  bool AxisHitTest(int x, int y) const;

  // Drawing state, kept between paints.
  std::int32_t AxisLinePos() const { return axisLinePos_; }
  std::int32_t LabelsPos() const { return labelsPos_; }
  std::int32_t TitlePos() const { return titlePos_; }
  int DateTimeStepIndex() const { return dateTimeStepIndex_; }
  // Pixel positions of the labels drawn by the last DrawAxis, in drawing
  // order. Positions beyond the capacity are not recorded.
  static constexpr std::int32_t TickTableCapacity = 2000;
  std::span<const std::int32_t> TickTable() const {
    return {tickTable_.get(), static_cast<std::size_t>(tickCount_)};
  }

  // User range: Automatic off, ends swapped if needed, at least 1e-10 apart.
  void SetRange(double minimum, double maximum);
  // Shifts the user range by delta; with checkLimits only towards data
  // beyond the range.
  void ScrollRange(bool checkLimits, double delta);

  // Whether the first active series on this axis has date-time values.
  bool IsDateTimeValues() const;

 protected:
  void Changed();  // repaint the chart
  void SetVisibleQuietly(bool value) { visible_ = value; }

 private:
  friend class TChartAxisTitle;
  enum class Side { Left, Right, Bottom, Top };
  Side AxisSide() const;
  std::int32_t MovedByPosition(std::int32_t p, const TRect& rect) const;
  int TextSizeAlongAxis(std::string_view text) const;
  void AddTick(std::int32_t p);
  void DrawLabelText(std::int32_t p, std::string_view text);
  void DrawLabelAt(double value);
  void DrawDefaultLabels(double step);
  void DrawCustomLabels(double step);
  void DrawLogarithmicLabels();
  void DrawSeriesLabels(TAxisLabelStyle style);
  void DrawTickSet(const TChartPen& pen, std::int32_t offset, std::int32_t length);
  void DrawTick(TChartCanvas& canvas, std::int32_t p, std::int32_t offset, std::int32_t length);
  void DrawGrid();
  void DrawGridLine(TChartCanvas& canvas, std::int32_t p);
  void DrawMinor(bool grid);
  void DrawMinorAt(TChartCanvas& canvas, bool grid, std::int64_t p);
  std::int32_t WidestSeriesLabel(TAxisLabelStyle style);
  double LinearPixelToValue(std::int32_t pixel) const;
  double LogPixelToValue(std::int32_t pixel) const;
  std::int32_t LogValueToPixel(double value) const;

  TCustomAxisPanel& panel_;
  bool horizontal_;
  bool otherSide_;

  bool automatic_ = true;
  bool automaticMinimum_ = true;
  bool automaticMaximum_ = true;
  double minimum_ = 0.0;
  double maximum_ = 0.0;
  double increment_ = 0.0;
  std::int32_t labelsSeparation_ = 10;
  bool exactDateTime_ = true;
  bool logarithmic_ = false;
  std::int32_t logarithmicBase_ = 10;
  bool inverted_ = false;
  double startPosition_ = 0.0;
  double endPosition_ = 100.0;
  double positionPercent_ = 0.0;
  bool visible_ = true;
  bool labels_ = true;
  TChartFontObject labelsFont_;
  std::int32_t labelsAngle_ = 0;
  bool labelsMultiLine_ = false;
  bool labelsOnAxis_ = true;
  std::int32_t labelsSize_ = 0;
  TAxisLabelStyle labelStyle_ = talAuto;
  std::string axisValuesFormat_ = "#,##0.###";
  std::string dateTimeFormat_;
  bool roundFirstLabel_ = true;
  TChartAxisPen axisPen_;
  TDarkGrayPen ticks_;
  std::int32_t tickLength_ = 4;
  TDarkGrayPen ticksInner_;
  std::int32_t tickInnerLength_ = 0;
  TDarkGrayPen minorTicks_;
  std::int32_t minorTickLength_ = 2;
  std::int32_t minorTickCount_ = 3;
  TDottedGrayPen grid_;
  bool gridCentered_ = false;
  TChartHiddenPen minorGrid_;
  bool tickOnLabelsOnly_ = true;
  TChartAxisTitle title_;
  std::int32_t titleSize_ = 0;

  std::int32_t axisLinePos_ = 0;
  std::int32_t labelsPos_ = 0;
  std::int32_t titlePos_ = 0;
  int dateTimeStepIndex_ = NoDateTimeStep;
  std::unique_ptr<std::int32_t[]> tickTable_;  // TickTableCapacity entries, made on first use
  std::int32_t tickCount_ = 0;
  mutable bool labelHookSuspended_ = false;  // while WidestValueLabel measures

  double currentMinimum_ = 0.0;
  double currentMaximum_ = 0.0;
  double currentRange_ = 0.0;
  std::int32_t startPixel_ = 0;
  std::int32_t endPixel_ = 0;
  std::int32_t pixelSize_ = 0;
  std::int32_t centerPixel_ = 0;
  bool dateTimeAxis_ = false;
};

// The four side axes of the chart.
class TChartAxis : public TCustomChartAxis {
 public:
  using TCustomChartAxis::TCustomChartAxis;
};

// The depth axis, shown only in 3D views.
class TChartDepthAxis : public TCustomChartAxis {
 public:
  explicit TChartDepthAxis(TCustomAxisPanel& panel);
  bool IsDepthAxis() const override { return true; }
};

}  // namespace tempolog
