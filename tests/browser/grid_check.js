// Checks from the laid-out page that every table.gridTable inside a
// div.case is a full grid, and writes one verdict line per case into
// pre#verdict: "NAME<TAB>OK" or "NAME<TAB>FAIL: what is wrong".
//   - the cells tile the table's box: no hole (every row covers the same
//     width) and no two cells overlapping;
//   - every column header above the last head row stands exactly over the
//     leaf headers and the value cells below it;
//   - every row header stands exactly beside the value cells of its rows.
(function () {
  const EPS = 1.01;
  const near = (a, b) => Math.abs(a - b) <= EPS;
  const box = (td) => td.getBoundingClientRect();

  // Sorted distinct positions, values within EPS of each other taken as one.
  function cluster(values) {
    const sorted = values.slice().sort((a, b) => a - b);
    const reps = [];
    for (const v of sorted) if (!reps.length || v - reps[reps.length - 1] > EPS) reps.push(v);
    return reps;
  }
  const indexOf = (reps, v) => reps.findIndex((r) => near(r, v));

  function tiles(table, problems) {
    const cells = Array.from(table.querySelectorAll('td, th'));
    if (!cells.length) return problems.push('no cells');
    const rects = cells.map(box);
    rects.forEach((r, k) => {
      if (r.width <= EPS || r.height <= EPS) problems.push('cell ' + k + ' has no area');
    });
    const xs = cluster(rects.flatMap((r) => [r.left, r.right]));
    const ys = cluster(rects.flatMap((r) => [r.top, r.bottom]));
    const nx = xs.length - 1;
    const cover = new Array(nx * (ys.length - 1)).fill(0);
    for (const r of rects) {
      const x0 = indexOf(xs, r.left), x1 = indexOf(xs, r.right);
      const y0 = indexOf(ys, r.top), y1 = indexOf(ys, r.bottom);
      for (let j = y0; j < y1; j++) for (let i = x0; i < x1; i++) cover[j * nx + i]++;
    }
    cover.forEach((n, k) => {
      const where = ' at x ' + xs[k % nx].toFixed(1) + ', y ' + ys[Math.floor(k / nx)].toFixed(1);
      if (n === 0) problems.push('hole' + where);
      if (n > 1) problems.push(n + ' cells overlap' + where);
    });
  }

  // The cells of `list` whose centre on the axis lies inside [lo, hi] must
  // exist and span exactly [lo, hi]; none may straddle an end.
  function spansExactly(what, lo, hi, list, axis, problems) {
    const inside = [];
    for (const r of list) {
      const a = axis === 'x' ? r.left : r.top, b = axis === 'x' ? r.right : r.bottom;
      const mid = (a + b) / 2;
      if (mid > lo && mid < hi) inside.push([a, b]);
      else if (a < lo - EPS && b > lo + EPS || a < hi - EPS && b > hi + EPS) {
        problems.push(what + ': a cell straddles its edge');
      }
    }
    if (!inside.length) return problems.push(what + ': nothing below or beside it');
    const first = Math.min(...inside.map((p) => p[0]));
    const last = Math.max(...inside.map((p) => p[1]));
    if (!near(first, lo) || !near(last, hi)) {
      problems.push(what + ': spans ' + lo.toFixed(1) + '..' + hi.toFixed(1) + ' over cells '
          + first.toFixed(1) + '..' + last.toFixed(1));
    }
  }

  function headers(table, problems) {
    const head = table.tHead ? Array.from(table.tHead.rows) : [];
    const body = Array.from(table.tBodies).flatMap((b) => Array.from(b.rows));
    const values = body.flatMap((tr) => Array.from(tr.cells))
        .filter((td) => !td.classList.contains('rowhdr')).map(box);
    if (head.length > 1) {
      const leaves = Array.from(head[head.length - 1].cells).map(box);
      head.slice(0, -1).forEach((tr, i) => {
        for (const td of tr.cells) {
          if (td.classList.contains('logo')) continue;
          const r = box(td), what = 'column header "' + td.textContent + '" (head row ' + i + ')';
          spansExactly(what, r.left, r.right, leaves, 'x', problems);
          spansExactly(what + ' over values', r.left, r.right, values, 'x', problems);
        }
      });
    }
    {
      for (const td of table.querySelectorAll('tbody td.rowhdr')) {
        const r = box(td), what = 'row header "' + td.textContent + '"';
        spansExactly(what, r.top, r.bottom, values, 'y', problems);
        for (const v of values) {
          const mid = (v.top + v.bottom) / 2;
          if (mid > r.top && mid < r.bottom && v.left < r.right - EPS) {
            problems.push(what + ': a value cell stands left of it');
            break;
          }
        }
      }
    }
  }

  const lines = [];
  for (const div of document.querySelectorAll('div.case')) {
    const problems = [];
    const table = div.querySelector('table.gridTable');
    if (!table) problems.push('no table');
    else {
      tiles(table, problems);
      headers(table, problems);
    }
    lines.push(div.dataset.name + '\t' + (problems.length ? 'FAIL: ' + problems.slice(0, 5).join('; ') : 'OK'));
  }
  const pre = document.createElement('pre');
  pre.id = 'verdict';
  pre.textContent = lines.join('\n');
  document.body.appendChild(pre);
})();
