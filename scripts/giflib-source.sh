#!/usr/bin/env bash
# Fetches Debian's giflib 5.2.1 source into .cache/giflib-5.2.1 (ignored by
# git) and prints that folder. The sanitized and fuzzing builds compile it
# with their own instrumentation, and the web build compiles it with emcc;
# the plain build keeps Debian's libgif-dev.
#
# apt needs a deb-src entry to fetch sources. The entry is derived from the
# machine's own binary entries for this release (the same URIs, suites,
# components and keys), so no archive address is written here, and it is
# added beside them: an update that saw only a deb-src entry would drop the
# binary package lists.
set -euo pipefail
cd "$(dirname "$0")/.."

version=5.2.1
orig_sha256=31da5562f44c5f15d63340a09a4fd62b48c45620cd302f77a6d9acf0077879bd
cache=.cache
dest=$cache/giflib-$version

if [ -f "$dest/gif_lib.h" ] && [ -f "$dest/.verified" ]; then
  echo "$PWD/$dest"
  exit 0
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

need_tools=()
command -v dpkg-source >/dev/null || need_tools+=(dpkg-dev)
command -v python3 >/dev/null || need_tools+=(python3)

# Writes deb-src twins of this release's deb entries (one-line and deb822
# files alike) as one deb822 file on standard output.
derive_sources() {
  python3 - "$1" <<'EOF'
import glob, re, sys
codename = sys.argv[1]
entries = []
def keep(suites):
    return any(s == codename or s.startswith(codename + "-") or s.startswith(codename + "/") for s in suites)
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields = {}
        for line in stanza.splitlines():
            if line.startswith("#") or ":" not in line or line[:1].isspace():
                continue
            key, value = line.split(":", 1)
            fields[key.strip().lower()] = value.strip()
        if fields.get("enabled", "yes").lower() == "no":
            continue
        if "deb" not in fields.get("types", "").split():
            continue
        suites = fields.get("suites", "").split()
        if keep(suites) and fields.get("uris"):
            entries.append((fields["uris"], suites, fields.get("components", ""), fields.get("signed-by", "")))
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        line = line.split("#", 1)[0].strip()
        m = re.match(r"deb\s+(\[[^\]]*\]\s+)?(\S+)\s+(\S+)\s*(.*)", line)
        if not m:
            continue
        options, uri, suite, components = m.groups()
        signed = re.search(r"signed-by=(\S+)", options or "")
        if keep([suite]):
            entries.append((uri, [suite], components, signed.group(1).rstrip("]") if signed else ""))
out = []
for uris, suites, components, signed in entries:
    stanza = ["Types: deb-src", "URIs: " + uris, "Suites: " + " ".join(suites), "Components: " + components]
    if signed:
        stanza.append("Signed-By: " + signed)
    out.append("\n".join(stanza))
print("\n\n".join(out))
EOF
}

if [ ${#need_tools[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need_tools[@]}" >&2
fi

if ! apt-cache showsrc giflib 2>/dev/null | grep -q "^Version: $version"; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  entry=$(derive_sources "$codename")
  [ -n "$entry" ] || { echo "giflib-source: no apt entry for $codename to derive a deb-src entry from" >&2; exit 1; }
  echo "# deb-src twins of this machine's $codename entries, written by the ZKlib setup" \
    | $sudo tee /etc/apt/sources.list.d/zk-deb-src.sources >/dev/null
  echo "$entry" | $sudo tee -a /etc/apt/sources.list.d/zk-deb-src.sources >/dev/null
  $sudo apt-get update -qq >&2
fi

mkdir -p "$cache"
work=$(mktemp -d "$cache/giflib-fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
# apt warns that it downloads as root unsandboxed when the folder is not
# readable by its _apt user; the checksum below is what guards the source.
(cd "$work" && apt-get source -qq --download-only giflib 2>&1 | grep -v "unsandboxed" >&2 || true)
orig=$(ls "$work"/giflib_"$version".orig.tar.* | head -n1)
echo "$orig_sha256  $orig" | sha256sum -c --quiet - >&2 || {
  echo "giflib-source: the orig tarball's checksum does not match" >&2
  exit 1
}
(cd "$work" && dpkg-source -x --no-check ./*.dsc src >/dev/null)
rm -rf "$dest"
mv "$work/src" "$dest"
touch "$dest/.verified"
echo "$PWD/$dest"
