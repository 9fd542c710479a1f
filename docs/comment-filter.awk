# Doxygen input filter: the headers state their contracts in plain // comments; this turns
# them into documentation comments where they belong to a declaration.
#   - the comment block that opens a file, before its include guard, describes the file;
#   - a block of // lines directly above a declaration or a #define documents it (a block
#     followed by a blank line or another preprocessor line stays a plain comment);
#   - a trailing "// text" after a declaration documents it ("///< text").
# Section rulers ("// ---- name ----") stay plain comments; < and > in comment text are
# escaped, so that names like <module> print as written.
function flush(mode,    i, line) {
    for (i = 1; i <= n; i++) {
        line = block[i]
        if (mode == "doc" && line !~ /^[ \t]*\/\/ ----/) {
            gsub(/</, "\\<", line)
            gsub(/>/, "\\>", line)
            sub(/\/\//, "///", line)
        }
        print line
    }
    n = 0
}
BEGIN { n = 0; seen_code = 0 }
/^[ \t]*\/\/[^\/]/ || /^[ \t]*\/\/$/ {
    block[++n] = $0
    next
}
{
    if (n > 0) {
        if (!seen_code && $0 ~ /^#ifndef/) {
            print "/// @file"
            flush("doc")
        } else if ($0 ~ /^[ \t]*$/ || ($0 ~ /^[ \t]*#/ && $0 !~ /^[ \t]*#[ \t]*define/)) {
            flush("plain")
        } else {
            flush("doc")
        }
    }
    if ($0 !~ /^[ \t]*$/) {
        seen_code = 1
    }
    line = $0
    if (line !~ /^[ \t]*#/ && line ~ /[;{},)][ \t]+\/\/ /) {
        split(line, parts, /[ \t]+\/\/ /)
        text = substr(line, length(parts[1]) + 1)
        sub(/^[ \t]+\/\/ /, "", text)
        gsub(/</, "\\<", text)
        gsub(/>/, "\\>", text)
        line = parts[1] "  ///< " text
    }
    print line
}
END { flush("plain") }
