// The reader view's script. The web engine runs it in a script world of its
// own, which shares the page's document but none of its scripts' objects, so
// the page can neither see nor change what it does. The build puts
// Readability's two files where the marker line is; the engine calls the
// function with "check" (is the page an article?) or "extract" (the article).
(function (mode) {
    //@READABILITY@

    var text = function (value) {
        return typeof value === "string" ? value : "";
    };
    if (!isProbablyReaderable(document))
        return mode === "check" ? false : null;
    if (mode === "check")
        return true;
    // Readability rewrites the document it is given: a copy, never the page.
    // What the page does not show (its ad filters hid it) and the pictures
    // it could not load (its filters blocked them) stay out of the copy.
    var copy = document.cloneNode(true);
    var shown = document.body ? document.body.getElementsByTagName("*") : [];
    var copied = copy.body ? copy.body.getElementsByTagName("*") : [];
    if (shown.length === copied.length) {
        var leftOut = [];
        for (var i = 0; i < shown.length; i++) {
            var element = shown[i];
            if (/^(SCRIPT|STYLE|NOSCRIPT|TEMPLATE)$/.test(element.tagName))
                continue; // never shown, and Readability reads some of them
            if (getComputedStyle(element).display === "none" ||
                (element.tagName === "IMG" && element.complete && element.naturalWidth === 0 &&
                 element.getAttribute("src")))
                leftOut.push(copied[i]);
        }
        leftOut.forEach(function (element) { element.remove(); });
    }
    var article = new Readability(copy).parse();
    if (!article || !text(article.content))
        return null;
    return {
        title: text(article.title),
        byline: text(article.byline),
        published: text(article.publishedTime),
        siteName: text(article.siteName),
        lang: text(article.lang),
        dir: text(article.dir),
        content: article.content,
        pageTitle: text(document.title),
        address: text(document.URL),
    };
})
