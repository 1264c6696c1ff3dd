#include "html_page_assets.h"

namespace runtrail {

// Sections are written in the order the data comes (the table first, the counts and the picture at
// the end of the run) and shown in reading order by the flex order below.
const std::string_view k_page_style = R"page(
body{font:14px/1.4 system-ui,sans-serif;margin:1em;display:flex;flex-direction:column;color:#1a1a1a;background:#fff}
#rt-errors{order:0;color:#b00000}#head{order:1}#summary{order:2}#timeline{order:3}#details{order:4}#tablebox{order:5}
body:not(.js) .js-only{display:none}
h1{font-size:1.4em;margin:0 0 .3em}h2{font-size:1.15em;margin:.8em 0 .4em}h3{font-size:1em;margin:.6em 0 .2em}
pre.ident{white-space:pre-wrap;word-break:break-all;background:#f4f4f4;padding:.4em;margin:0}
#files table{border-collapse:collapse;width:100%;table-layout:fixed}
#files>table.head{position:sticky;top:0;z-index:1}
.part{content-visibility:auto;contain-intrinsic-height:auto 10000px}
.part tr:first-of-type td{border-top:0}
col.prog{width:11%}col.runs{width:4em}col.time{width:14.5em}col.hash{width:9em}col.serial{width:6.5em}col.pf{width:15%}col.deleted{width:5em}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:left;vertical-align:top;overflow-wrap:anywhere}
th{background:#e8ecf8}
body.js th{cursor:pointer;user-select:none}
th[aria-sort=ascending]::after{content:" \25B2"}th[aria-sort=descending]::after{content:" \25BC"}
td.num{text-align:right}
tbody tr:nth-of-type(even){background:#fafafa}
body.js tbody tr{cursor:pointer}tbody tr:hover{background:#eef6ff}
td.deleted{color:#b00000;font-weight:bold}
#tl-box{overflow:auto;max-height:70vh;border:1px solid #ccc}
svg.timeline{display:block;width:100%;height:auto;font:11px sans-serif}
.axis line{stroke:#ddd}.axis text{fill:#555;text-anchor:middle}
text.name{text-anchor:end;fill:#222}
.m{fill:#2b6cb0}.m.last{fill:#d9480f}.m:hover{fill:#000}
.band{fill:#2b6cb0;fill-opacity:.15}
#details{border:1px solid #99c;padding:.2em .8em .6em;background:#f8f8ff}
#details ul{max-height:16em;overflow:auto;margin:.2em 0;padding-left:2em;font-family:monospace;word-break:break-all}
.note,.hint{color:#555;font-style:italic}
#tl-readout{font-family:monospace;min-height:1.4em;margin:.2em 0}
)page";

// Everything the script shows comes in as text (textContent), never as markup.
const std::string_view k_page_script = R"page(
(function () {
  'use strict';
  var errors = document.getElementById('rt-errors');
  function note(text) { errors.hidden = false; errors.textContent += text + '\n'; }
  window.addEventListener('error', function (e) { note('Uncaught ' + e.message); });
  document.addEventListener('securitypolicyviolation', function (e) {
    note('Content-Security-Policy violation: ' + e.violatedDirective + ' ' + e.blockedURI);
  });
  document.body.classList.add('js');

  var names = [];
  document.querySelectorAll('script.rt-s').forEach(function (block) {
    var list = JSON.parse(block.textContent);
    for (var i = 0; i < list.length; i++) names.push(list[i]);
  });
  // The rows stand in parts (tables of a few hundred rows each); sorting refills the parts in order.
  var table = document.getElementById('files');
  var parts = Array.prototype.slice.call(table.querySelectorAll('.part tbody'));
  var partSizes = parts.map(function (part) { return part.rows.length; });
  // A row carries its run times (data-r, oldest first) and its last run (the third cell's data-v);
  // the data block after it (path, modules, volumes, directories) is read when details are opened.
  var rows = table.querySelectorAll('tr[id]');
  var blocks = table.querySelectorAll('script.rt-f');
  var files = [];
  for (var i = 0; i < rows.length && i < blocks.length; i++) {
    var r = rows[i].getAttribute('data-r'), runs = r ? r.split(',').map(Number) : [];
    var last = rows[i].cells[2].getAttribute('data-v');
    files.push({ i: i, row: rows[i], block: blocks[i], d: null, hit: true, name: rows[i].cells[0].textContent,
                 text: null, runs: runs, last: last === null ? null : Number(last),
                 first: runs.length ? runs[0] : null, latest: runs.length ? runs[runs.length - 1] : null });
  }
  function dataOf(f) { return f.d || (f.d = JSON.parse(f.block.textContent)); }
  function timeText(ms) { return new Date(ms).toISOString().replace('T', ' ').replace('Z', ''); }

  // The table: sorting by any column, a filter that narrows table and timeline together.
  var heads = table.querySelectorAll('thead th');
  var sortColumn = -1, sortDescending = false;
  function sortKey(f, column) {
    var cell = f.row.cells[column];
    var v = cell.getAttribute('data-v');
    if (v !== null) return Number(v);
    return cell.textContent === '' ? null : cell.textContent.toLowerCase();
  }
  function compareKeys(a, b) {
    if (a === b) return 0;
    if (a === null) return -1;
    if (b === null) return 1;
    if (typeof a !== typeof b) return typeof a === 'number' ? -1 : 1;
    return a < b ? -1 : 1;
  }
  function sortTable(column, descending) {
    if (!(column >= 0 && column < heads.length)) return;
    sortColumn = column; sortDescending = descending;
    var keyed = files.map(function (f) { return { f: f, k: sortKey(f, column) }; });
    keyed.sort(function (a, b) { return (descending ? -1 : 1) * compareKeys(a.k, b.k) || a.f.i - b.f.i; });
    var next = 0;
    parts.forEach(function (part, p) {
      var fragment = document.createDocumentFragment();
      for (var end = next + partSizes[p]; next < end && next < keyed.length; next++) fragment.appendChild(keyed[next].f.row);
      part.appendChild(fragment);
    });
    heads.forEach(function (h, j) {
      h.setAttribute('aria-sort', j === column ? (descending ? 'descending' : 'ascending') : 'none');
    });
  }
  heads.forEach(function (h, j) {
    h.tabIndex = 0;
    h.title = 'Sort by this column';
    h.addEventListener('click', function () { sortTable(j, sortColumn === j ? !sortDescending : false); });
  });
  var filterBox = document.getElementById('filter');
  var shown = document.getElementById('shown');
  function applyFilter(text) {
    var t = text.toLowerCase(), n = 0;
    files.forEach(function (f) {
      if (t && f.text === null) f.text = f.row.textContent.toLowerCase();
      f.hit = !t || f.text.indexOf(t) >= 0;
      f.row.hidden = !f.hit;
      if (f.hit) n++;
    });
    shown.textContent = n + ' of ' + files.length + ' files';
    drawTimeline();
  }
  filterBox.addEventListener('input', function () { applyFilter(filterBox.value); });

  // The timeline: one row per program, a mark per stored run time, the last run marked apart.
  var SVG = 'http://www.w3.org/2000/svg';
  var MOST_ROWS = 2000, WIDTH = 1200, LABEL_RIGHT = 236, LEFT = 250, PLOT = 880, TOP = 34, ROW = 16, TICKS = 6;
  var range = null;
  var orderBox = document.getElementById('order');
  var fromBox = document.getElementById('from'), toBox = document.getElementById('to');
  var box = document.getElementById('tl-box');
  var readout = document.createElement('p');
  readout.id = 'tl-readout';
  box.parentNode.insertBefore(readout, box);
  function svgNode(tag, attributes, parent) {
    var node = document.createElementNS(SVG, tag);
    for (var k in attributes) node.setAttribute(k, attributes[k]);
    if (parent) parent.appendChild(node);
    return node;
  }
  function drawTimeline() {
    var order = orderBox.value;
    // With a range, only the programs that ran within it.
    var list = files.filter(function (f) {
      return f.hit && f.runs.length && (!range || f.runs.some(function (t) { return t >= range[0] && t <= range[1]; }));
    });
    list.sort(function (a, b) {
      if (order === 'name') return a.name < b.name ? -1 : a.name > b.name ? 1 : a.i - b.i;
      if (order === 'first') return a.first - b.first || a.i - b.i;
      return b.latest - a.latest || a.i - b.i;
    });
    var programs = list.length;
    if (list.length > MOST_ROWS) list = list.slice(0, MOST_ROWS);
    var lo = Infinity, hi = -Infinity;
    if (range) { lo = range[0]; hi = range[1]; } else {
      list.forEach(function (f) { lo = Math.min(lo, f.first); hi = Math.max(hi, f.latest); });
    }
    if (!list.length) { lo = 0; hi = 1; }
    if (lo === hi) { lo -= 3600000; hi += 3600000; }
    var height = TOP + list.length * ROW + 4, marks = 0;
    var svg = svgNode('svg', { id: 'tl', 'class': 'timeline', viewBox: '0 0 ' + WIDTH + ' ' + height,
                               width: WIDTH, height: height, role: 'img', 'aria-label': 'Execution timeline' });
    var x = function (t) { return LEFT + (t - lo) / (hi - lo) * PLOT; };
    var axis = svgNode('g', { 'class': 'axis' }, svg);
    for (var k = 0; k <= TICKS && list.length; k++) {
      var t = lo + (hi - lo) * k / TICKS, tx = x(t).toFixed(1);
      svgNode('line', { x1: tx, x2: tx, y1: TOP - 6, y2: height }, axis);
      svgNode('text', { x: tx, y: TOP - 10 }, axis).textContent = timeText(Math.floor(t)).slice(0, 16);
    }
    list.forEach(function (f, r) {
      var y = TOP + r * ROW;
      var g = svgNode('g', { 'class': 'row', 'data-file': f.i }, svg);
      svgNode('text', { 'class': 'name', x: LABEL_RIGHT, y: y + 10 }, g).textContent = f.name;
      f.runs.forEach(function (ms) {
        if (ms < lo || ms > hi) return;
        var last = ms === f.last;
        var mark = svgNode('rect', { 'class': last ? 'm last' : 'm', x: (x(ms) - 1).toFixed(1), y: y + 1,
                                     width: 2, height: 10 }, g);
        svgNode('title', {}, mark).textContent = timeText(ms) + ' UTC ' + f.name + (last ? ' (last run)' : '');
        marks++;
      });
    });
    svg.setAttribute('data-marks', marks);
    var parts = [svg];
    if (!programs) {
      var empty = document.createElement('p');
      empty.className = 'note';
      empty.textContent = 'No stored run time to draw.';
      parts = [empty];
    } else if (programs > list.length) {
      var more = document.createElement('p');
      more.className = 'note';
      more.textContent = 'The first ' + list.length + ' of ' + programs + ' programs; narrow with the filter.';
      parts.push(more);
    }
    box.replaceChildren.apply(box, parts);

    svg.addEventListener('mouseover', function (e) {
      if (e.target.classList.contains('m')) readout.textContent = e.target.firstChild.textContent;
    });
    svg.addEventListener('click', function (e) {
      var row = e.target.closest('g.row');
      if (row) showDetails(files[Number(row.getAttribute('data-file'))]);
    });
    // Dragging across the picture narrows the time axis to the range dragged over.
    var drag = null, band = null;
    function timeAt(e) {
      var box = svg.getBoundingClientRect();
      return lo + ((e.clientX - box.left) * WIDTH / box.width - LEFT) / PLOT * (hi - lo);
    }
    function unitsAt(e) { var box = svg.getBoundingClientRect(); return (e.clientX - box.left) * WIDTH / box.width; }
    svg.addEventListener('mousedown', function (e) {
      if (e.button !== 0) return;
      drag = { x: e.clientX, units: unitsAt(e), t: timeAt(e) };
      band = svgNode('rect', { 'class': 'band', x: drag.units, y: 0, width: 0, height: height }, svg);
      e.preventDefault();
    });
    svg.addEventListener('mousemove', function (e) {
      if (!drag) return;
      var u = unitsAt(e);
      band.setAttribute('x', Math.min(u, drag.units));
      band.setAttribute('width', Math.abs(u - drag.units));
    });
    function endDrag(e) {
      if (!drag) return;
      var t = timeAt(e), moved = Math.abs(e.clientX - drag.x) > 4, start = drag.t;
      drag = null;
      band.remove();
      if (moved) setRange(Math.min(start, t), Math.max(start, t));
    }
    svg.addEventListener('mouseup', endDrag);
    svg.addEventListener('mouseleave', endDrag);
  }
  function setRange(from, to) {
    range = [Math.floor(from), Math.ceil(to)];
    fromBox.value = timeText(range[0]);
    toBox.value = timeText(range[1]);
    drawTimeline();
  }
  // "2016-01-16", "2016-01-16 21:10", "2016-01-16T21:10:26.058Z": UTC unless a zone is given.
  function parseTime(text, endOfDay) {
    text = text.trim();
    if (!text) return null;
    if (/^\d{4}-\d\d-\d\d$/.test(text)) return Date.parse(text) + (endOfDay ? 86399999 : 0);
    var t = Date.parse(text.replace(' ', 'T') + (/(Z|[+-]\d\d:?\d\d)$/i.test(text) ? '' : 'Z'));
    return isNaN(t) ? null : t;
  }
  orderBox.addEventListener('change', drawTimeline);
  document.getElementById('apply').addEventListener('click', function () {
    var from = parseTime(fromBox.value, false), to = parseTime(toBox.value, true);
    if (from === null || to === null || from >= to) { readout.textContent = 'Give a start and a later end, such as 2016-01-16 21:00.'; return; }
    setRange(from, to);
  });
  document.getElementById('reset').addEventListener('click', function () {
    range = null; fromBox.value = ''; toBox.value = ''; drawTimeline();
  });

  // Details of one file: every run time, module and directory, each list filterable.
  var details = document.getElementById('details');
  function element(tag, text, parent) {
    var node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (parent) parent.appendChild(node);
    return node;
  }
  function filterableList(title, items, parent) {
    var section = element('section', undefined, parent);
    section.className = 'list';
    element('h3', title + ' (' + items.length + ')', section);
    var input = element('input', undefined, section);
    input.type = 'search';
    input.placeholder = 'filter';
    var ul = element('ul', undefined, section);
    items.forEach(function (item) { element('li', item, ul); });
    input.addEventListener('input', function () {
      var t = input.value.toLowerCase();
      ul.childNodes.forEach(function (li) { li.hidden = t !== '' && li.textContent.toLowerCase().indexOf(t) < 0; });
    });
  }
  function nameOf(n) { return n >= 0 && n < names.length ? names[n] : ''; }
  function showDetails(f) {
    if (!f) return;
    details.hidden = false;
    details.replaceChildren();
    element('h2', 'Details: ' + f.name, details);
    var close = element('button', 'Close', details);
    close.type = 'button';
    close.addEventListener('click', function () { details.hidden = true; });
    var d = dataOf(f);
    element('p', d.p, details).className = 'ident';
    var runs = f.runs.slice().reverse().map(function (ms) {
      return timeText(ms) + (ms === f.last ? '  last run' : '');
    });
    filterableList('Run times', runs, details);
    filterableList('Modules', d.m.map(function (n, i) {
      var reference = d.f ? d.f[i] : 0;
      return nameOf(n) + (reference ? '  [MFT entry-sequence ' + reference + ']' : '');
    }), details);
    var volumes = d.v.map(function (v) {
      return v.p + '  serial ' + v.s + (v.c === null ? '' : '  created ' + timeText(v.c));
    });
    filterableList('Volumes', volumes, details);
    var directories = [];
    d.v.forEach(function (v) { v.d.forEach(function (n) { directories.push(nameOf(n)); }); });
    filterableList('Directories', directories, details);
    details.scrollIntoView();
  }
  table.addEventListener('click', function (e) {
    var row = e.target.closest('tr[id]');
    if (row) showDetails(files[Number(row.id.slice(1))]);
  });

  // The page opens as its address says, e.g. report.html#filter=calc&sort=2&desc=1&order=name,
  // with from and to in milliseconds since 1970 and details naming a file by its place.
  var wanted = new URLSearchParams(location.hash.slice(1));
  if (wanted.has('order')) orderBox.value = wanted.get('order');
  if (wanted.has('from') && wanted.has('to')) {
    range = [Number(wanted.get('from')), Number(wanted.get('to'))];
    fromBox.value = timeText(range[0]);
    toBox.value = timeText(range[1]);
  }
  if (wanted.has('sort')) sortTable(Number(wanted.get('sort')), wanted.get('desc') === '1');
  filterBox.value = wanted.get('filter') || '';
  applyFilter(filterBox.value);
  if (wanted.has('details')) showDetails(files[Number(wanted.get('details'))]);
  // Ready: table, filter, sorting and timeline work. The page is laid out as the script left it
  // before the mark is taken, so only painting stands between the mark and the page on screen.
  document.body.setAttribute('data-ready', 'yes');
  table.getBoundingClientRect();
  document.body.setAttribute('data-ready-ms', String(Math.round(performance.now())));
  var painted = performance.getEntriesByName('first-contentful-paint')[0];
  if (painted) document.body.setAttribute('data-first-paint-ms', String(Math.round(painted.startTime)));
})();
)page";

}  // namespace runtrail
