#include "log/Xrpm_table.h"

#include "log/Oxygensensor.h"

TO2TargetGrid::Cell TO2TargetGrid::kind(int col, int row)
{
    if (col == kAxisCol && row == kAxisRow)
        return Cell::Corner;
    if (row == kAxisRow)
        return Cell::RpmAxis;
    if (col == kAxisCol)
        return Cell::TpsAxis;
    return Cell::Value;
}

QString TO2TargetGrid::editMask(int col, int row)
{
    (void)col;
    return row == kAxisRow ? QStringLiteral("!9999;1;") : QStringLiteral("!999;1;");
}

bool TO2TargetGrid::editable(int col, int row)
{
    return kind(col, row) != Cell::Corner;
}

QString TO2TargetGrid::text(int col, int row) const
{
    return inside(col, row) ? cells_[col][row] : QString();
}

void TO2TargetGrid::setText(int col, int row, const QString &text)
{
    if (inside(col, row))
        cells_[col][row] = text;
}

std::optional<QString> TO2TargetGrid::selectCell(int col, int row, int sensorType)
{
    if (!inside(col, row))
        return std::nullopt;
    if (kind(col, row) != Cell::Value) {
        hintsShown_ = false;
        return std::nullopt;
    }
    const std::optional<QString> hint = o2::hintForText(cells_[col][row], sensorType);
    if (hint)
        hintsShown_ = true;
    return hint;
}

void TO2TargetGrid::fill(const QString &o2RefText)
{
    const QString value = QString::number(o2::leadingNumber(o2RefText));
    for (int col = 1; col < kCols; ++col)
        for (int row = 0; row < kAxisRow; ++row)
            cells_[col][row] = value;
}
