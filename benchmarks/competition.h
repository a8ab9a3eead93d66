#pragma once

#include <QString>

#include <random>

// A competition of that many couples with five marks from 0 to 10 each, the same for the
// same seed: "Paar <n>" from "Club <n % 37>", start numbers 1 .. count in rows 1 .. count.
template <class Grid> void fillCompetition(Grid &grid, int count, unsigned seed)
{
    grid.setRowCount(count + 1);
    std::mt19937 random(seed);
    for (int row = 1; row <= count; ++row) {
        grid.setCells(0, row, QString::number(row));
        grid.setCells(1, row, QStringLiteral("Paar %1").arg(row));
        grid.setCells(2, row, QStringLiteral("Club %1").arg(row % 37));
        for (int judge = 0; judge < 5; ++judge)
            grid.setCells(3 + judge, row, QString::number(random() % 11));
    }
}
