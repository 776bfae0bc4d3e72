#!/usr/bin/env python3
"""Writes the results page of a model (`ketra render MODEL --results R -o page.html`), opens it
in headless Chromium and checks what a reader sees: the stress colours drawn; choosing another
load case in the list changes the legend and the picture; PLAY moves the displaced shape from
frame to frame and PAUSE brings back the still picture; no script errors. Screenshots stay in
the output folder. Exit 0 when every check passes, 1 when one fails, 77 without chromium.

    check_results_page.py KETRA MODEL RESULTS OUT_DIR"""
import base64, importlib.machinery, json, os, re, subprocess, sys

here = os.path.dirname(os.path.abspath(__file__))
page_check = importlib.machinery.SourceFileLoader(
    "check_html_page", os.path.join(here, "..", "..", "scripts", "check-html-page")).load_module()

PROBE = """<script>
var ketraErrors = [];
window.addEventListener("error", function (e) { ketraErrors.push(e.message); });
window.addEventListener("load", function () {
  var shots = {}, legends = {};
  function keep(name) {
    shots[name] = document.getElementById("animate").toDataURL("image/png");
    legends[name] = document.getElementById("LEGEND").textContent;
  }
  function done() {
    var out = document.createElement("textarea");
    out.id = "ketra-shots";
    out.textContent = JSON.stringify({ shots: shots, legends: legends, errors: ketraErrors });
    document.body.appendChild(out);
  }
  setTimeout(function () {
    try {
      keep("opened");
      var list = document.getElementById("CASES");
      list.selectedIndex = 1;
      list.dispatchEvent(new Event("change"));
      keep("switched");
      document.getElementById("PLAY").click();
    } catch (e) { ketraErrors.push(e.message); }
    setTimeout(function () {
      keep("playing1");
      setTimeout(function () {
        keep("playing2");
        document.getElementById("PAUSE").click();
        keep("paused");
        done();
      }, 370);
    }, 500);
  }, 50);
});
</script></body>"""


def main():
    ketra, model, results, out = sys.argv[1:5]
    if not page_check.shutil.which("chromium") and not page_check.shutil.which("chromium-browser"):
        print("check_results_page: chromium is not installed; skipped")
        return page_check.SKIP
    os.makedirs(out, exist_ok=True)
    page = os.path.join(out, "results.html")
    subprocess.run([ketra, "render", model, "--results", results, "-o", page, "--size", "800x600"], check=True)
    probe = os.path.join(out, "probe.html")
    open(probe, "w", encoding="utf-8").write(open(page, encoding="utf-8").read().replace("</body>", PROBE, 1))
    dom = page_check.chromium(["--dump-dom", "file://" + os.path.abspath(probe)])
    found = re.search(r'<textarea id="ketra-shots">([^<]*)</textarea>', dom.stdout)
    if not found:
        print("FAILED: the page did not finish its checks\n" + dom.stderr[-2000:])
        return 1
    data = json.loads(found.group(1).replace("&quot;", '"').replace("&amp;", "&"))
    pictures = {}
    for name, url in data["shots"].items():
        png = base64.b64decode(url.split(",", 1)[1])
        open(os.path.join(out, name + ".png"), "wb").write(png)
        pictures[name] = page_check.read_png(data=png)

    def differ(a, b):
        return sum(p != q for ra, rb in zip(pictures[a], pictures[b]) for p, q in zip(ra, rb))

    def near(name, colour):
        return sum(all(abs(p[k] - colour[k]) < 40 for k in range(3)) for row in pictures[name] for p in row)

    failures = []
    def check(ok, what):
        print(("ok: " if ok else "FAILED: ") + what)
        if not ok:
            failures.append(what)

    check(not data["errors"], "no script errors (%s)" % data["errors"])
    red, yellow = near("opened", (255, 0, 0)), near("opened", (255, 255, 0))
    check(red > 300 and yellow > 30, "the stress colours are drawn (%d red, %d yellow pixels)" % (red, yellow))
    legends = data["legends"]
    check(legends["opened"].startswith("OPE") and legends["switched"].startswith("SUS"),
          "the case list switches the legend (%r, then %r)" % (legends["opened"][:20], legends["switched"][:20]))
    switched = differ("opened", "switched")
    check(switched > 300, "switching case changes the picture (%d pixels)" % switched)
    moved = differ("playing1", "playing2")
    check(moved > 50, "PLAY moves the displaced shape (%d pixels change between frames)" % moved)
    home = differ("switched", "paused")
    check(home == 0, "PAUSE shows the still picture again (%d pixels differ)" % home)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
