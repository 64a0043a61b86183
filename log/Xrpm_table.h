#pragma once
// The O2 target grid (StringGridO2Table) as data: 11 x 11 text cells, row 10
// the RPM axis, column 0 the TPS axis, the 10 x 10 value cells in between.
// The window binds it to its QTableWidget: it copies texts in and out, asks
// for masks, editability, cell kinds (for the colours) and hints.
#include <array>
#include <optional>

#include <QString>

class TO2TargetGrid {
public:
    static constexpr int kCols = 11;
    static constexpr int kRows = 11;
    static constexpr int kAxisRow = 10; // RPM axis
    static constexpr int kAxisCol = 0;  // TPS axis

    enum class Cell { Value, TpsAxis, RpmAxis, Corner };
    static Cell kind(int col, int row);
    // "!9999;1;" on the RPM axis, "!999;1;" everywhere else.
    static QString editMask(int col, int row);
    // Every cell but the corner.
    static bool editable(int col, int row);

    QString text(int col, int row) const;
    void setText(int col, int row, const QString &text);

    // Hint for a selected cell: a value cell whose text is a number gives its
    // value converted for the sensor type; nullopt leaves the hint as it is.
    // Axis cells switch hints off (hintsShown() false afterwards).
    std::optional<QString> selectCell(int col, int row, int sensorType);
    bool hintsShown() const { return hintsShown_; }

    // ButtonFillLoadTableWithO2RefValue: every value cell := the leading
    // number of the O2Ref edit's text; axis cells untouched.
    void fill(const QString &o2RefText);

private:
    static bool inside(int col, int row) { return col >= 0 && col < kCols && row >= 0 && row < kRows; }
    std::array<std::array<QString, kRows>, kCols> cells_;
    bool hintsShown_ = false;
};
