#!/usr/bin/python3
"""orvconvert report end to end: pages that a real HTML parser accepts, texts
shown as text, error rows for bad runs, and pages drawn by headless
Chromium: an example's, and that of a big run made as bench/ratio makes its
runs (SCALE 1: 100 MB), whose page must stay small and show its density.

usage: report_pages.py ORVCONVERT EXAMPLES_DIR WORK_DIR BIG_SCALE [--keep-screenshot PNG]
"""
import collections
import importlib.machinery
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile

import html5lib
from PIL import Image

SVG = "{http://www.w3.org/2000/svg}"
# The hostile run's file name: a page name that URLs must escape.
HOSTILE = "hostile #1?\u00e9"

FAILURES = []


def check(ok, what):
    if not ok:
        FAILURES.append(what)
        print("FAIL:", what)


def parse(path):
    """The page as a DOM tree; strict mode raises on any parse error."""
    with open(path, "rb") as f:
        return html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(f.read())


def main():
    orvconvert, examples, work, big_scale = sys.argv[1:5]
    keep = sys.argv[6] if len(sys.argv) > 6 and sys.argv[5] == "--keep-screenshot" else None
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # The regression example with markup in its texts and a model that names
    # a variable the data lack.
    hostile = shutil.copyfile(os.path.join(os.path.dirname(__file__), "data", "hostile.kvr"),
                              os.path.join(work, HOSTILE + ".kvr"))
    foreign = os.path.join(work, "notes.kvr")
    with open(foreign, "wb") as f:
        f.write(b"just some notes\r\n")
    # A second file named like an example gets a page of its own.
    twin = os.path.join(work, "regression.kvr")
    shutil.copyfile(os.path.join(examples, "regression.kvr"), twin)
    names = sorted(n for n in os.listdir(examples) if n.endswith(".kvr"))
    files = [os.path.join(examples, n) for n in names] + [hostile, twin, foreign, os.path.join(work, "missing.kvr")]
    out = os.path.join(work, "out")
    r = subprocess.run([orvconvert, "report", *files, "--out-dir", out], capture_output=True, text=True)

    # A bad run fails on the console and in the index; the others get pages.
    check(r.returncode == 1, "exit status %d, expected 1" % r.returncode)
    errors = r.stderr.splitlines()
    check(len(errors) == 2 and "error 5002" in errors[0] and "error 5004" in errors[1], "error lines: %r" % errors)
    index = parse(os.path.join(out, "index.html"))
    rows = index.findall(".//tbody/tr")
    check(len(rows) == len(files), "index rows %d for %d files" % (len(rows), len(files)))
    error_rows = [row for row in rows if row.get("class") == "error"]
    check(error_rows and "error 5002" in "".join(error_rows[0].itertext()), "index error row for the foreign file")
    links = [a.get("href") for a in index.iter("a")]
    check(links == [n[:-4] + ".html" for n in names] + ["hostile%20%231%3F%C3%A9.html", "regression-2.html"],
          "index links %r" % links)

    # Each page parses strictly, fetches nothing and carries its charts.
    charts_expected = {"regression": 7, "classification": 8, "no-test-data": 4}
    for name in [n[:-4] for n in names] + [HOSTILE]:
        page = os.path.join(out, name + ".html")
        try:
            dom = parse(page)
        except Exception as e:  # html5lib's ParseError names the position
            check(False, "%s does not parse: %s" % (name, e))
            continue
        check(not dom.findall(".//script") and not dom.findall(".//link") and not dom.findall(".//img"),
              "%s has scripts, links or images" % name)
        for el in dom.iter():
            for attr in ("src", "href"):
                value = el.get(attr) or ""
                check(not re.match(r"^(\w+:|//)", value), "%s refers outside: %s" % (name, value))
        charts = [s for s in dom.iter(SVG + "svg") if s.get("class") == "chart"]
        if name in charts_expected:
            check(len(charts) == charts_expected[name], "%s: %d charts" % (name, len(charts)))
            check(all(s.findall(".//%sg[@class='plot']/*" % SVG) for s in charts), "%s: a chart draws nothing" % name)
        if name == "regression":
            check(len([s for s in dom.iter(SVG + "svg") if s.get("class") == "tree"]) == 3, "regression: 3 gene trees")
            tables = [t for t in dom.iter("table") if t.find("thead") is not None]
            check([len(t.findall("tbody/tr")) for t in tables] == [12, 5], "regression: data tables of 12 and 5 rows")
            check([c.text for c in tables[0].findall("thead/tr/th")] == ["#", "flow", "head", "speed", "efficiency"],
                  "regression: columns named after the fields")

    # The run's texts show as text, and the model's error stands in for its charts.
    dom = parse(os.path.join(out, HOSTILE + ".html"))
    text = "".join(dom.itertext())
    check("</p><script>alert(1)</script> &amp; more" in text, "comments shown as text")
    check("Tom & Jerry's \"test\"" in dom.find(".//h1").text, "key shown as text")
    check("A<b>" in text and not dom.findall(".//b"), "author shown as text")
    check("error 9" in text, "the model's error on the page")

    pixels = screenshot(os.path.join(out, "regression.html"), work, keep)
    # The training chart's model line and markers in their blue.
    blue = sum(1 for (r, g, b) in pixels if b > 160 and r < 90 and 80 < g < 150)
    check(blue > 300, "no chart drawn in the screenshot (%d model pixels)" % blue)
    big_run(orvconvert, os.path.dirname(examples), work, float(big_scale))
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


def big_run(orvconvert, source, work, scale):
    """A run of millions of records: a small page whose density shows in shades."""
    loader = importlib.machinery.SourceFileLoader("ratio", os.path.join(source, "bench", "ratio"))
    ratio = importlib.util.module_from_spec(importlib.util.spec_from_loader("ratio", loader))
    loader.exec_module(ratio)
    run = os.path.join(work, "big.kvr")
    ratio.make_v2(run, scale)
    out = os.path.join(work, "big")
    r = subprocess.run([orvconvert, "report", run, "--out-dir", out], capture_output=True, text=True)
    os.remove(run)
    check(r.returncode == 0, "big run: exit status %d: %s" % (r.returncode, r.stderr))
    page = os.path.join(out, "big.html")
    size = os.path.getsize(page) if os.path.exists(page) else 0
    check(0 < size < 1 << 20, "big run: page of %d bytes" % size)
    if not size:
        return
    dom = parse(page)
    charts = [s.get("aria-label") for s in dom.iter(SVG + "svg") if s.get("class") == "chart"]
    check(charts == ["Training: model against target", "Training: residuals", "Test: model against target",
                     "Test: residuals"], "big run: charts %r" % charts)
    # The density's cells in their blues, light to dark: many shades that
    # each fill some cells (a line's or a text's edges fill few pixels).
    blues = collections.Counter(p for p in screenshot(page, work, None) if p[2] > p[0] + 30 and p[2] > p[1] + 15)
    shades = sum(1 for n in blues.values() if n >= 200)
    check(shades > 20, "big run: the density shows %d shades" % shades)


def screenshot(page, work, keep):
    """The page drawn by Chromium, as its (r, g, b) pixels."""
    png = os.path.splitext(page)[0] + ".png"
    profile = tempfile.mkdtemp(dir=work)
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                    "--no-first-run", "--user-data-dir=" + profile, "--screenshot=" + png, "--window-size=1000,800",
                    "file://" + os.path.abspath(page)], capture_output=True, timeout=120)
    check(os.path.exists(png), "chromium wrote no screenshot of " + page)
    if not os.path.exists(png):
        return []
    with Image.open(png) as image:
        pixels = list(image.convert("RGB").getdata())
    inked = sum(1 for p in pixels if p != (255, 255, 255))
    check(inked > len(pixels) // 50, "screenshot is blank (%d drawn pixels)" % inked)
    if keep:
        shutil.copyfile(png, keep)
    return pixels


if __name__ == "__main__":
    sys.exit(main())
