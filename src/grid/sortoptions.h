#pragma once

#include <QString>

#include <functional>

enum TSortStyle
{
    ssAutomatic,
    ssNormal,
    ssNumeric,
    ssNumericExtended,
    ssDateTime,
    ssTime,
    ssCustom
};

enum TSortDirection
{
    sdAscending = 0,
    sdDescending = 1
};

using TCustomCompare = std::function<int(const QString &a, const QString &b)>;

// Sort settings of a grid; owned by the grid and changed field by field.
struct TSortOptions
{
    bool CanSort = true;
    QString SecondaryIndex;
    TSortStyle SortStyle = ssNormal;
    bool SortCaseSensitive = false;
    int SortCol = 0;
    TSortDirection SortDirection = sdAscending;
    bool UpdateOnSizeChange = false;
    TCustomCompare CustomCompare;
};
