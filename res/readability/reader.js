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
    var article = new Readability(document.cloneNode(true)).parse();
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
