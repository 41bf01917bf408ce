#include "server/web/web_style.h"

namespace {

// Colours: WCAG AA asks 4.5:1 for text and 3:1 for the edges of controls.
// Contrast ratios, on the page background / on a striped row:
//   light  text #1b1f24 16.6 / 15.0   muted #57606a 6.4 / 5.8   links #0550ae 7.6 / 6.9
//          verified #116329 7.4 / 6.7   borders #6e7781 4.5 / 4.1   button text on links 7.6
//   dark   text #e6edf3 16.0 / 14.6   muted #9da7b3 7.8 / 7.1   links #79c0ff 9.7 / 8.9
//          verified #56d364 9.8 / 9.0   borders #7d8590 5.1 / 4.6   button text on links 9.7
// The tests recompute these from the rules below.
//
// Narrow screens (up to 40em, a phone held upright) drop the munchets, food
// and date columns, give the name column all the room the others leave, and
// shrink the verified mark to its tick (the word stays for screen readers).
// Names wrap anywhere and numbers of eight digits or more after a comma (the
// page marks those places with <wbr>), so a 360 px wide screen never scrolls
// sideways, whatever the rows hold.
constexpr std::string_view styleSheet = R"css(:root {
  color-scheme: light dark;
  --bg: #ffffff;
  --alt: #f3f4f6;
  --fg: #1b1f24;
  --muted: #57606a;
  --link: #0550ae;
  --mark: #116329;
  --border: #6e7781;
}
@media (prefers-color-scheme: dark) {
  :root {
    --bg: #0d1117;
    --alt: #161b22;
    --fg: #e6edf3;
    --muted: #9da7b3;
    --link: #79c0ff;
    --mark: #56d364;
    --border: #7d8590;
  }
}
*, *::before, *::after { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }
body {
  margin: 0 auto;
  max-width: 64rem;
  padding: 1rem;
  background: var(--bg);
  color: var(--fg);
  font: 100%/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "DejaVu Sans", sans-serif;
}
h1 { font-size: 1.5rem; margin: 0 0 1rem; }
h2 { font-size: 1.25rem; }
a { color: var(--link); }
a:focus-visible, input:focus-visible, button:focus-visible { outline: 2px solid var(--link); outline-offset: 2px; }
.search { display: flex; flex-wrap: wrap; gap: 0.5rem; align-items: center; margin: 0 0 1rem; }
.search input, .search button {
  font: inherit;
  padding: 0.25rem 0.5rem;
  border: 1px solid var(--border);
  border-radius: 4px;
}
.search input { flex: 1 1 10rem; min-width: 0; max-width: 20rem; color: var(--fg); background: var(--bg); }
.search button { padding-inline: 1rem; color: var(--bg); background: var(--link); border-color: var(--link); cursor: pointer; }
.total, .note, .muted { color: var(--muted); }
.note { font-size: 0.875rem; }
table { width: 100%; border-collapse: collapse; }
caption { text-align: left; font-weight: bold; padding: 0 0 0.5rem; }
th, td { padding: 0.375rem 0.5rem; text-align: left; vertical-align: top; }
thead th { border-bottom: 2px solid var(--border); white-space: nowrap; }
tbody tr:nth-child(even) { background: var(--alt); }
tbody th { font-weight: normal; }
bdi, .name { overflow-wrap: anywhere; }
.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.verified { color: var(--mark); white-space: nowrap; }
.players { color: var(--muted); font-weight: normal; white-space: nowrap; }
.pages { display: flex; flex-wrap: wrap; gap: 0.5rem 1.5rem; margin: 1rem 0; }
.boards { display: flex; flex-wrap: wrap; gap: 0.5rem 1.5rem; margin: 1rem 0; }
.boards a[aria-current] { font-weight: bold; text-decoration: none; }
.pages a[rel="next"] { margin-left: auto; }
@media (max-width: 40em) {
  body { padding: 0.5rem; }
  th, td { padding: 0.3rem 0.25rem; }
  .wide { display: none; }
  td.num { white-space: normal; }
  table { font-size: 0.9375rem; }
  .replay { white-space: nowrap; }
  th.name { width: 100%; }
  .verified .label { position: absolute; width: 1px; height: 1px; overflow: hidden; clip-path: inset(50%); }
}
)css";

}  // namespace

std::string_view StyleSheet() { return styleSheet; }
