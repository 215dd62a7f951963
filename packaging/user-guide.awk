# Writes the user's guide that the tarnel package installs in /usr/share/doc/tarnel/: the
# README without the sections that serve only a checkout of the sources, with the paths
# of the files it names as the package installs them.
# Usage: awk -f user-guide.awk README.md > guide.md

function level(line) {
    match(line, /^#+/)
    return RLENGTH
}

# A line in a code block is never a heading.
/^```/ { in_code = !in_code }

!in_code && /^#+ / {
    if (skipping && level($0) <= skip_level) {
        skipping = 0
    }
    if (!skipping && $0 ~ /^#+ (The two commands|Executables|Testing the real USB path|Development|Building|Tarnel on Windows)/) {
        skipping = 1
        skip_level = level($0)
    }
}

skipping { next }

{
    gsub(/\(packaging\/README\.md\)/, "(../tarnel-cli/adapter-access.md)")
    gsub(/\[packaging\/README\.md\]/, "[adapter-access.md]")
    gsub(/\[LICENSE\]\(LICENSE\)/, "[copyright](copyright)")
    gsub(/examples\/program-all\.sh/, "/usr/share/doc/tarnel-cli/examples/program-all.sh")
    print
}
