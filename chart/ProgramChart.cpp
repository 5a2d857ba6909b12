#include "chart/ProgramChart.h"

namespace tempolog {

void SetUpProgramAxes(TCustomAxisPanel& panel) {
  TChartAxis& bottom = panel.BottomAxis();
  bottom.SetDateTimeFormat("dd.MM.yy hh:mm");
  bottom.SetLabelsAngle(90);
  bottom.SetRoundFirstLabel(false);
  bottom.SetIncrement(0.000694444444444444);
  bottom.Axis().SetWidth(1);
  bottom.Grid().SetColor(11184810);
  bottom.Grid().SetStyle(TPenStyle::psSolid);
  bottom.MinorTicks().SetVisible(false);

  TChartAxis& left = panel.LeftAxis();
  left.SetAxisValuesFormat("#00.0");
  left.LabelsFont().SetColor(clMaroon);
  left.SetIncrement(1.0);
  left.SetStartPosition(2);
  left.SetEndPosition(98);
  left.Axis().SetWidth(1);
  left.Grid().SetColor(13092807);
  left.Grid().SetStyle(TPenStyle::psSolid);
  left.SetMinorTickCount(4);
  left.MinorGrid().SetVisible(true);
  left.MinorGrid().SetColor(clSilver);
  left.MinorGrid().SetStyle(TPenStyle::psDash);
  left.MinorGrid().SetSmallDots(true);

  TChartAxis& right = panel.RightAxis();
  right.SetIncrement(0.5);
  right.SetStartPosition(2);
  right.SetEndPosition(98);
  right.Title().SetCaption("%");
  right.SetAxisValuesFormat(",#00.0");

  panel.TopAxis().SetVisible(false);
}

void SetUpProgramChart(TChart& chart, TLineSeries& series1) {
  chart.SetBevelOuter(bvNone);
  chart.SetColor(clBtnFace);  // the window's colour
  chart.SetView3D(false);
  chart.SetView3DWalls(false);
  chart.SetScaleLastPage(false);
  chart.Title().SetVisible(false);
  chart.Legend().SetVisible(false);
  chart.BackWall().Brush().SetColor(clWhite);
  chart.BackWall().Brush().SetStyle(TBrushStyle::bsClear);
  chart.BackWall().Pen().SetColor(clWindowFrame);
  SetUpProgramAxes(chart);

  series1.SetTitle("Temperatura");
  series1.SetSeriesColor(kReadingsColor);
  series1.SetValueFormat("###0.#");
  series1.SetMarksVisible(false);
  series1.LinePen().SetWidth(2);
  series1.SetStairs(true);
  TSeriesPointer& pointer = series1.Pointer();
  pointer.SetVisible(true);
  pointer.SetStyle(psRectangle);
  pointer.SetHorizSize(1);
  pointer.SetVertSize(1);
  pointer.SetInflateMargins(true);
  pointer.Pen().SetWidth(2);
  pointer.Pen().SetVisible(false);
  series1.XValues().SetDateTime(true);
  series1.SetParentChart(&chart);
}

TProgramChart MakeProgramChart() {
  TProgramChart result;
  result.Chart = std::make_unique<TChart>();
  result.Series1 = std::make_unique<TLineSeries>();
  SetUpProgramChart(*result.Chart, *result.Series1);
  return result;
}

}  // namespace tempolog
