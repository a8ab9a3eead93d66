#pragma once

#include <QWidget>

// Stands in for the main window until it exists: shows the result table's header.
class PlaceholderWindow : public QWidget
{
    Q_OBJECT
public:
    explicit PlaceholderWindow(QWidget *parent = nullptr);
};
