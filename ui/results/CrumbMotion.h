#pragma once

#include <QString>

#include <vector>

namespace tamrel {

// One crumb of the path bar as laid out: its text, where its text box lies along the bar and
// how it is drawn.
struct CrumbLook {
    QString text;
    double x = 0;
    double width = 0;
    bool current = false;   // the explored folder: bold, in ink
    bool ellipsis = false;  // the "…" that stands for the folders left out
    bool operator==(const CrumbLook&) const = default;
};

// What is drawn of one crumb at one moment of a change of folder.
struct CrumbDraw {
    CrumbLook look;               // x and width as drawn now
    double opacity = 1;           // of the crumb's text
    double separatorOpacity = 0;  // of the "/" before it (never before the first crumb)
};

// The path bar `amount` of the way from the crumbs `from` to the crumbs `to` (0 is `from`, 1 is
// `to`; a spring may carry it a little past either end). Crumbs are matched by position, as the
// bar identifies them: a position held by both glides from its old place to its new one, and
// when its text or look changed the old crumb fades out there while the new one fades in. A
// position only in `to` fades in where it ends up, one only in `from` fades out where it was;
// so do their separators. Nothing is listed at opacity 0. Opacities stay within 0 and 1; places
// follow the overshoot.
std::vector<CrumbDraw> crumbsInMotion(const std::vector<CrumbLook>& from,
                                      const std::vector<CrumbLook>& to, double amount);

// The widths of crumbs whose texts want `widths` when all of them must share `room` points of
// text: unchanged when they fit; otherwise every crumb wider than one common limit is cut to
// that limit (narrow crumbs keep their width), the limit chosen as large as fits, and never
// below `least` (a crumb narrower than `least` keeps its width), so that each still shows the
// start of its name.
std::vector<double> fitCrumbWidths(const std::vector<double>& widths, double room, double least);

}  // namespace tamrel
