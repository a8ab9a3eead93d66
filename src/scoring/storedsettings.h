#pragma once

#include "scoring/resulttable.h"

#include <QPoint>
#include <QSize>
#include <QString>

class MonitorList;

// The values kept between runs. Field names are the names of the stored values.
struct StoredSettings
{
    static constexpr int kDefaultLeft = 313;
    static constexpr int kDefaultTop = 129;

    int Left = kDefaultLeft; // main window's outer left edge
    int Top = kDefaultTop;
    int Width = 0; // outer size: written at the end, never read back
    int Height = 0;
    bool KeepAR = true;
    int Monitor = 0;
    int ColSUD = ResultTable::kDefaultJudges;
    // The help window's size, kept apart from the main window's seven values.
    static constexpr int kDefaultHelpWidth = 800;
    static constexpr int kDefaultHelpHeight = 600;
    static constexpr int kMinHelpWidth = 320;
    static constexpr int kMinHelpHeight = 240;
    static constexpr int kMaxHelpSize = 8192;
    int HelpWidth = kDefaultHelpWidth;
    int HelpHeight = kDefaultHelpHeight;
    // The live results' server, kept apart as well: on at start (0 or 1), its port and where it
    // listens (0 this computer only, 1 the local network).
    static constexpr int kDefaultLivePort = 8080;
    bool LiveOn = false;
    int LivePort = kDefaultLivePort;
    int LiveNetwork = 0;

    bool operator==(const StoredSettings &) const = default;
};

// The per-user settings file: integer values only, organisation "Quellmark",
// application the program title, INI format under the XDG config folder.
class SettingsStore
{
public:
    // The file the program itself uses for a title, e.g. ~/.config/Quellmark/Scorelane.ini.
    static QString defaultPath(const QString &programTitle);

    // Tests pass a file of their own.
    explicit SettingsStore(QString iniPath);
    QString path() const { return m_path; }

    // Reads "Left", "Top", "KeepAR", "Monitor", "ColSUD" in that order; the first value that is
    // missing or not an integer ends the reading and the later ones keep their defaults.
    // "HelpWidth" and "HelpHeight" are read on their own, each held to a usable size. No file,
    // one that cannot be read, one far too large to be ours, or a folder, FIFO or device in its
    // place gives the defaults, without waiting on it. A monitor above the last one becomes 0 (a
    // negative one is left for the monitor list to treat as 0); the judge count is held to 3 .. 7.
    StoredSettings read(const MonitorList &monitors) const;

    // "LiveOn", "LivePort" and "LiveNetwork" are read on their own too; a port outside 1 .. 65535
    // gives 8080, a scope other than 0 or 1 gives 0.
    // Writes the seven values, then the help window's two and the live results' three, creating the file and
    // its folder when needed; a file far too large to be ours is replaced. False when nothing could be
    // stored, also when something other than a plain file has the file's name.
    bool write(const StoredSettings &settings) const;

private:
    QString m_path;
};

// Where the main window opens: the stored top-left corner, unless the window would touch no
// monitor there (a monitor was removed or rearranged); then it goes onto monitor 0, the
// primary one, at the default offset, pulled in so that it stays on that monitor.
QPoint mainWindowPosition(QPoint stored, QSize outerSize, const MonitorList &monitors);
