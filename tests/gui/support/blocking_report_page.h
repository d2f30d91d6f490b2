#pragma once
// A page for the tests of ad and tracker blocking, served by the local web
// server: it loads images and, once each has loaded or failed, reports in
// its title how each fared and how each of its boxes shows:
// "done /news/page.html?3 /ads/banner.png=error /img/photo.png=load ad-box=none".
#include <string>
#include <vector>

#include "local_web_server.h"

namespace lumo::test {

// The page at each of `pages` (with any query), its images at `images`, and
// a box of each class of `boxes`.
inline void ServeBlockingReportPage(LocalWebServer& server, const std::vector<std::string>& pages,
                                    const std::vector<std::string>& images,
                                    const std::vector<std::string>& boxes)
{
    std::string names, classes,
        html = "<!doctype html><html><head><title>loading</title></head>"
               "<body>\n";
    for (const std::string& box : boxes) {
        html += "<div class=\"" + box + "\">" + box + "</div>\n";
        classes += "'" + box + "',";
    }
    for (const std::string& image : images)
        names += "'" + image + "',";
    html += "<script>\nconst names = [" + names + "];\nconst boxes = [" + classes + "];\n" +
            R"(const results = {};
function report() {
  if (Object.keys(results).length < names.length) return;
  const shown = boxes.map(b => b + '=' + getComputedStyle(document.querySelector('.' + b)).display);
  document.title = ['done', location.pathname + location.search]
                       .concat(names.map(n => n + '=' + results[n]), shown).join(' ');
}
for (const n of names) {
  const img = new Image();
  img.onload = () => { results[n] = 'load'; report(); };
  img.onerror = () => { results[n] = 'error'; report(); };
  img.src = n;
}
report();
</script></body></html>)";
    WebResponse image, page;
    image.contentType = "image/svg+xml";
    image.body = R"(<svg xmlns="http://www.w3.org/2000/svg" width="1" height="1"/>)";
    page.body = html;
    for (const std::string& path : images)
        server.Route(path, image);
    for (const std::string& path : pages)
        server.Route(path, page);
}

} // namespace lumo::test
