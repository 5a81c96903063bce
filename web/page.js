// The page: opens a file, and shows what fenwaimg, fenwadump and fenwamake
// make of it through fenwa.js (the library compiled to WebAssembly), and what
// changed between it and a second file (fenwadump --diff); pictures are laid
// out by Graphviz compiled to WebAssembly (viz-global.js). It knows nothing of
// the formats: the library tells it what a file is and what the programs
// print, and the edit table edits the JSON dump that fenwadump wrote.
'use strict';

(function () {
  // Pictures whose Graphviz text is longer are drawn only when asked: laying
  // out thousands of stations takes Graphviz minutes.
  const kMostDrawnAtOnce = 60000;
  // Text longer than this is shown cut (the downloads hold all of it).
  const kMostShown = 200000;
  // Rows of the edit table shown at once (the find box reaches the others).
  const kMostRows = 200;
  // Stops of a route shown (the others keep their places).
  const kMostStops = 100;

  const byId = (id) => document.getElementById(id);
  const shiftJis = new TextDecoder('shift_jis');
  const utf8 = new TextEncoder();

  const page = {
    fenwa: null,  // fenwa.js
    viz: null,    // Graphviz
    ready: null,  // resolves when both are
    file: null,   // {name, bytes, kind}
    subject: null,  // {name, bytes}: the file fenwadump and the edits work on
    edit: null,   // the JSON dump being edited
    changed: new Set(),  // the paths of the names changed in it
    rebuilt: null,  // {name, bytes}: the intermediate data file the edits made
    difference: null,  // {dot, svgName}: the picture of the difference shown
    loads: 0,
    compares: 0,
    readyAt: null,
  };
  window.fenwaPage = page;

  const kKinds = {
    'intermediate': 'an intermediate data file',
    'database': 'a fenwaimg.pdb image',
    'description': 'a JSON network description',
    'intermediate dump': 'a JSON dump of an intermediate data file',
    'database dump': 'a JSON dump of a fenwaimg.pdb image',
    'unknown dump': 'a JSON dump of a file that is neither an intermediate data file nor an image',
    'json': 'JSON that fenwamake cannot read (see below why)',
    'unknown': 'neither an intermediate data file, a fenwaimg.pdb nor JSON',
  };

  // ---- small helpers ----

  function showText(element, text) {
    if (text.length > kMostShown) {
      element.textContent = text.slice(0, kMostShown) + '\n… (' + text.length + ' characters in all; the download holds all of them)';
    } else {
      element.textContent = text;
    }
  }

  function showStatus(element, program, status) {
    element.textContent = program + ' ended with exit status ' + status;
    element.className = 'status ' + (status === 0 ? 'success' : 'failure');
    element.dataset.status = String(status);
  }

  const urls = new Map();
  function offer(link, bytes, fileName, type) {
    if (urls.has(link.id)) URL.revokeObjectURL(urls.get(link.id));
    urls.delete(link.id);
    if (bytes === null) {
      link.hidden = true;
      link.removeAttribute('href');
      return;
    }
    const url = URL.createObjectURL(new Blob([bytes], {type: type || 'application/octet-stream'}));
    urls.set(link.id, url);
    link.href = url;
    link.download = fileName;
    link.hidden = false;
  }

  // Text offered as its UTF-8 bytes; none when empty.
  function offerText(link, text, fileName, type) {
    offer(link, text.length ? utf8.encode(text) : null, fileName, type);
  }

  function stem(name) {
    const dot = name.lastIndexOf('.');
    return dot > 0 ? name.slice(0, dot) : name;
  }

  function setState(state, text) {
    document.body.dataset.state = state;
    if (text !== undefined) byId('page-status').textContent = text;
  }

  async function bytesOf(file) {
    return new Uint8Array(await file.arrayBuffer());
  }

  // ---- opening a file ----

  async function open(file) {
    await page.ready;
    setState('busy', 'Reading ' + file.name + '…');
    try {
      const bytes = await bytesOf(file);
      load(file.name, bytes);
      setState('done', 'Opened ' + file.name + ' (' + bytes.length + ' bytes).');
    } catch (failure) {
      setState('done', 'The page could not handle ' + file.name + ': ' + failure);
      byId('page-status').className = 'refusal';
    }
    page.loads += 1;
    document.body.dataset.loads = String(page.loads);
  }

  function load(name, bytes) {
    byId('page-status').className = '';
    const hidden = ['make', 'convert', 'inspect', 'draw', 'edit', 'diff-result', 'diff-failure'];
    for (const id of hidden) byId(id).hidden = true;
    byId('diff').hidden = false;
    byId('diff-command').textContent = '';
    const kind = bytes.length === 0 ? 'unknown' : page.fenwa.identify(bytes);
    page.file = {name, bytes, kind};
    const kindText = byId('file-kind');
    kindText.hidden = false;
    kindText.dataset.kind = bytes.length === 0 ? 'empty' : kind;
    kindText.textContent = name + ' is ' + (bytes.length === 0 ? 'empty' : kKinds[kind]) + '.';

    let intermediate = null;  // {name, bytes} for the converter
    page.subject = null;
    if (kind === 'description' || kind.endsWith('dump') || kind === 'json') {
      const made = page.fenwa.make(bytes, name);
      const out = stem(name) + '.dat';
      byId('make').hidden = false;
      byId('make-command').textContent = name + ' ' + out;
      showStatus(byId('make-status'), 'fenwamake', made.status);
      showText(byId('make-err'), made.err);
      offer(byId('make-download'), made.status === 0 ? made.file : null, out);
      if (made.status === 0) intermediate = page.subject = {name: out, bytes: made.file};
    } else {
      page.subject = {name, bytes};
      if (kind !== 'database') intermediate = page.subject;
    }

    byId('convert').hidden = false;
    if (intermediate) {
      convert(intermediate.name, intermediate.bytes, {
        command: 'convert-command', run: 'convert-run', console: 'convert-console', status: 'convert-status',
        error: 'convert-error', download: 'convert-download'});
      byId('convert-note').hidden = true;
    } else {
      byId('convert-run').hidden = true;
      const note = byId('convert-note');
      note.hidden = false;
      note.textContent = kind === 'database'
          ? 'The converter takes an intermediate data file; this is the image it makes. Edit it below to make a new one.'
          : 'There is no intermediate data file to convert: fenwamake refused the JSON.';
    }
    if (page.subject) inspect();
  }

  // fenwaimg on `bytes`, shown in the elements `ids` names.
  function convert(name, bytes, ids) {
    const run = page.fenwa.convert(bytes, name);
    if (ids.command) byId(ids.command).textContent = name;
    if (ids.run) byId(ids.run).hidden = false;
    const consoleText = byId(ids.console);
    consoleText.textContent = shiftJis.decode(run.console);
    showStatus(byId(ids.status), 'fenwaimg', run.status);
    byId(ids.error).textContent = run.error;
    offer(byId(ids.download), run.status === 0 ? run.image : null, 'fenwaimg.pdb');
    return run;
  }

  // ---- fenwadump: summary, problems, dump, pictures ----

  function inspect() {
    const {name, bytes} = page.subject;
    byId('inspect').hidden = false;
    byId('inspect-command').textContent = name;
    const summary = page.fenwa.summary(bytes, name);
    showText(byId('summary'), summary.out);
    const dump = page.fenwa.dump(bytes, name);
    showStatus(byId('dump-status'), 'fenwadump', dump.status);
    showText(byId('problems'), dump.err);
    showText(byId('dump'), dump.out);
    byId('dump-size').textContent = dump.out.length ? '(' + dump.out.length + ' characters)' : '';
    offerText(byId('dump-download'), dump.out, stem(name) + '.json', 'application/json');

    let parsed = null;
    if (dump.status !== 2) {
      try {
        parsed = JSON.parse(dump.out);
      } catch (failure) {
        parsed = null;
      }
    }
    if (parsed && (parsed.kind === 'intermediate' || parsed.kind === 'database')) {
      fillDrawChoices(parsed);
      byId('draw').hidden = false;
      byId('draw-command').textContent = name;
      draw(false);
      startEditing(parsed);
    }
  }

  function fillDrawChoices(dump) {
    const select = byId('draw-only');
    select.replaceChildren(new Option('everything', ''));
    const add = (label, value) => select.add(new Option(label, value));
    for (const company of dump.companies || []) {
      const name = company.name === null || company.name === undefined ? String(company.number) : company.name;
      add('company ' + name, 'company:' + name);
    }
    for (const route of dump.routes || []) {
      const name = route.name === null || route.name === undefined ? String(route.index) : route.name;
      add('route ' + name, 'route:' + name);
    }
  }

  function draw(asked) {
    const {name, bytes} = page.subject;
    const view = byId('draw-view').value;
    const only = byId('draw-only').value;
    const run = page.fenwa.draw(bytes, name, {view, only});
    const options = '--dot' + (view === 'graph' ? '=graph' : '') + (only ? ' --only=' + only : '');
    byId('draw-command').textContent = options + ' ' + name;
    showStatus(byId('draw-status'), 'fenwadump', run.status);
    byId('draw-err').textContent = run.err;
    offerText(byId('dot-download'), run.out, stem(name) + '.dot', 'text/vnd.graphviz');
    showPicture(run.status === 2 ? '' : run.out, asked, {
      picture: 'picture', note: 'draw-note', svg: 'svg-download',
      svgName: stem(name) + (view === 'graph' ? '-graph' : '') + '.svg',
      hint: 'Draw one company or one route, or press Draw to draw it all anyway.'});
  }

  // Lays the Graphviz text `dot` out in the element ids.picture and offers the
  // SVG at the link ids.svg; says in ids.note why it did not. A large picture
  // is drawn only when `asked`, and confirmed. Returns 'drawn', 'large' (left
  // for asking), 'failed' or 'none' (no text).
  function showPicture(dot, asked, ids) {
    const picture = byId(ids.picture);
    const note = byId(ids.note);
    picture.replaceChildren();
    note.hidden = true;
    offer(byId(ids.svg), null);
    if (!dot.length) return 'none';
    const say = (text) => {
      note.hidden = false;
      note.textContent = text;
    };
    const large = dot.length > kMostDrawnAtOnce;
    if (large && asked && !window.confirm('Laying out ' + dot.length + ' characters of Graphviz text may take ' +
                                          'minutes, and the page waits for it. Draw it anyway?')) {
      asked = false;
    }
    if (large && !asked) {
      say('This picture is large (' + dot.length + ' characters of Graphviz text): laying it out may take minutes. ' +
          ids.hint);
      return 'large';
    }
    let svg;
    try {
      svg = page.viz.renderString(dot, {format: 'svg', engine: 'dot'});
    } catch (failure) {
      say('Graphviz could not lay out the picture: ' + failure);
      return 'failed';
    }
    const root = new DOMParser().parseFromString(svg, 'image/svg+xml').documentElement;
    if (root.nodeName !== 'svg') {
      say('Graphviz gave no picture.');
      return 'failed';
    }
    picture.appendChild(document.importNode(root, true));
    offer(byId(ids.svg), utf8.encode(svg), ids.svgName, 'image/svg+xml');
    return 'drawn';
  }

  // ---- the edit table ----

  function startEditing(dump) {
    page.edit = dump;
    page.changed = new Set();
    byId('edit').hidden = false;
    byId('rebuild-result').hidden = true;
    clearRefusals();
    byId('station-filter').value = '';
    byId('route-filter').value = '';
    renderStations();
    renderRoutes();
  }

  function nameOf(entry, fallback) {
    return entry && typeof entry.name === 'string' ? entry.name : fallback;
  }

  function stationLabel(number) {
    const stations = page.edit.stations || [];
    const station = Number.isInteger(number) ? stations[number] : undefined;
    if (!station) return typeof number === 'string' ? '' : '(no such station)';
    return nameOf(station, '#' + number);
  }

  // Names changed since the dump was read: where a new string goes.
  function markChanged(input, changed) {
    if (changed) page.changed.add(input.dataset.path);
    if (page.changed.has(input.dataset.path)) input.dataset.changed = 'true';
  }

  function matches(filter, entry, index) {
    if (!filter) return true;
    return String(index) === filter || nameOf(entry, '').includes(filter);
  }

  function renderStations() {
    const stations = page.edit.stations || [];
    const filter = byId('station-filter').value.trim();
    const body = byId('stations').tBodies[0];
    body.replaceChildren();
    let shown = 0;
    for (let i = 0; i < stations.length && shown < kMostRows; ++i) {
      if (!matches(filter, stations[i], i)) continue;
      ++shown;
      const row = body.insertRow();
      row.insertCell().textContent = String(i);
      const cell = row.insertCell();
      const input = document.createElement('input');
      input.type = 'text';
      input.value = nameOf(stations[i], '');
      input.dataset.path = 'stations[' + i + '].name';
      markChanged(input, false);
      input.addEventListener('change', () => {
        stations[i].name = input.value;
        markChanged(input, true);
      });
      cell.appendChild(input);
    }
    byId('station-count').textContent = shown + ' of ' + stations.length + ' shown';
  }

  function renderRoutes() {
    const routes = page.edit.routes || [];
    const filter = byId('route-filter').value.trim();
    const body = byId('routes').tBodies[0];
    body.replaceChildren();
    let shown = 0;
    for (let i = 0; i < routes.length && shown < kMostRows; ++i) {
      if (!matches(filter, routes[i], i)) continue;
      ++shown;
      const route = routes[i];
      const row = body.insertRow();
      row.dataset.path = 'routes[' + i + ']';
      row.insertCell().textContent = String(i);
      const nameCell = row.insertCell();
      const input = document.createElement('input');
      input.type = 'text';
      input.value = nameOf(route, '');
      input.dataset.path = 'routes[' + i + '].name';
      markChanged(input, route.index === undefined);  // a route added here has a new name
      input.addEventListener('change', () => {
        route.name = input.value;
        markChanged(input, true);
      });
      nameCell.appendChild(input);
      row.insertCell().textContent = typeof route.company_name === 'string' ? route.company_name : '';
      const stopsCell = row.insertCell();
      const stops = route.stops || [];
      for (let j = 0; j < stops.length && j < kMostStops; ++j) stopsCell.appendChild(stopEditor(route, i, j));
      if (stops.length > kMostStops) stopsCell.append('… and ' + (stops.length - kMostStops) + ' more stops');
    }
    byId('route-count').textContent = shown + ' of ' + routes.length + ' shown';
  }

  // One stop: its station (by number) and buttons that move it within the route.
  function stopEditor(route, i, j) {
    const stop = route.stops[j];
    const span = document.createElement('span');
    span.className = 'stop';
    span.dataset.path = 'routes[' + i + '].stops[' + j + ']';
    const input = document.createElement('input');
    input.type = 'number';
    input.min = '0';
    input.value = String(stop.station);
    input.dataset.path = 'routes[' + i + '].stops[' + j + '].station';
    const label = document.createElement('span');
    label.className = 'station-name';
    label.textContent = stationLabel(stop.station);
    input.addEventListener('change', () => {
      const number = Number(input.value);
      stop.station = Number.isInteger(number) && input.value.trim() !== '' ? number : input.value;
      label.textContent = stationLabel(stop.station);
    });
    const move = (by, text, title) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = text;
      button.title = title;
      button.className = by < 0 ? 'earlier' : 'later';
      button.disabled = j + by < 0 || j + by >= route.stops.length;
      button.addEventListener('click', () => {
        const stops = route.stops;
        [stops[j], stops[j + by]] = [stops[j + by], stops[j]];
        renderRoutes();
      });
      return button;
    };
    span.append(input, ' ', label, ' ', move(-1, '↑', 'one stop earlier'), move(1, '↓', 'one stop later'));
    return span;
  }

  function addRoute(event) {
    event.preventDefault();
    const routes = page.edit.routes || (page.edit.routes = []);
    const route = {name: byId('new-route-name').value};
    const company = byId('new-route-company').value;
    if (company) route.company_name = company;
    route.stops = byId('new-route-stops').value.split(/[,、，]/).map((text) => text.trim()).filter((text) => text)
        .map((text) => ({station: /^[0-9]+$/.test(text) ? Number(text) : text}));
    routes.push(route);
    for (const id of ['new-route-name', 'new-route-company', 'new-route-stops']) byId(id).value = '';
    byId('route-filter').value = '';
    renderRoutes();
  }

  function clearRefusals() {
    for (const element of document.querySelectorAll('.refused')) element.classList.remove('refused');
    for (const element of document.querySelectorAll('.cell-refusal')) element.remove();
    byId('edit-refusal').hidden = true;
  }

  // The cells that edit the field `path` ("stations[3].name"), or the nearest
  // ones that hold it; for the string table as a whole, the names changed.
  function refusedCells(path) {
    const cells = Array.from(document.querySelectorAll('[data-path]'));
    let targets = [];
    for (let at = path; at && !targets.length;) {
      targets = cells.filter((cell) => cell.dataset.path === at);
      const cut = Math.max(at.lastIndexOf('.'), at.lastIndexOf('['));
      at = cut > 0 ? at.slice(0, cut) : '';
    }
    if (!targets.length && /^strings|^string_pool/.test(path)) {
      targets = Array.from(document.querySelectorAll('input[data-changed]'));
    }
    if (!targets.length && path.startsWith('routes')) targets = [byId('routes')];
    if (!targets.length && path.startsWith('stations')) targets = [byId('stations')];
    return targets;
  }

  // fenwamake's message goes to the cell of the field its refusal names, when
  // it names one.
  function showRefusal(made) {
    const line = made.err.trim();
    const targets = made.refusal && made.refusal.path ? refusedCells(made.refusal.path) : [];
    const message = byId('edit-refusal');
    message.hidden = false;
    message.textContent = line;
    for (const target of targets) {
      target.classList.add('refused');
      const note = document.createElement('span');
      note.className = 'cell-refusal';
      note.textContent = line;
      if (target.tagName === 'TABLE') target.before(note); else target.after(note);
    }
    if (targets.length && typeof targets[0].focus === 'function') targets[0].focus();
  }

  function rebuild() {
    clearRefusals();
    const result = byId('rebuild-result');
    const name = stem(page.subject.name) + '-edited';
    const made = page.fenwa.make(JSON.stringify(page.edit, null, 1), name + '.json');
    result.hidden = false;
    showStatus(byId('rebuild-make-status'), 'fenwamake', made.status);
    byId('rebuild-make-err').textContent = made.err;
    offer(byId('rebuild-dat-download'), made.status === 0 ? made.file : null, name + '.dat');
    page.rebuilt = made.status === 0 ? {name: name + '.dat', bytes: made.file} : null;
    byId('rebuild-diff').hidden = page.rebuilt === null;
    if (made.status !== 0) {
      showRefusal(made);
      for (const id of ['rebuild-console', 'rebuild-error']) byId(id).textContent = '';
      byId('rebuild-status').textContent = '';
      offer(byId('rebuild-pdb-download'), null);
      return;
    }
    convert(name + '.dat', made.file, {
      console: 'rebuild-console', status: 'rebuild-status', error: 'rebuild-error', download: 'rebuild-pdb-download'});
  }

  // ---- what changed: fenwadump --diff ----

  const kDiffStatus = ['the same network', 'they differ', 'they cannot be compared (below why)'];

  // fenwadump --diff between the file opened (the old network) and `other`
  // ({name, bytes}, the new one): its text, its status and standard error, the
  // text and JSON to download, and its picture.
  function compare(other) {
    const old = page.file;
    const run = (output) => page.fenwa.diff(old.bytes, other.bytes, {oldName: old.name, newName: other.name, output});
    const text = run('text');
    byId('diff-failure').hidden = true;
    byId('diff-result').hidden = false;
    byId('diff-command').textContent = '--diff ' + old.name + ' ' + other.name;
    const status = byId('diff-status');
    showStatus(status, 'fenwadump', text.status);
    status.textContent += ': ' + kDiffStatus[text.status];
    if (text.status === 1) status.className = 'status differ';
    showText(byId('diff-err'), text.err);
    showText(byId('diff-text'), text.out);
    const compared = text.status !== 2;
    const base = stem(old.name) + '-to-' + stem(other.name);
    offerText(byId('diff-text-download'), text.out, base + '.txt', 'text/plain');
    offerText(byId('diff-json-download'), compared ? run('json').out : '', base + '.json', 'application/json');
    page.difference = {dot: compared ? run('dot').out : '', svgName: base + '.svg'};
    offerText(byId('diff-dot-download'), page.difference.dot, base + '.dot', 'text/vnd.graphviz');
    drawDifference(false);
  }

  function drawDifference(asked) {
    const drawn = showPicture(page.difference.dot, asked, {
      picture: 'diff-picture', note: 'diff-note', svg: 'diff-svg-download', svgName: page.difference.svgName,
      hint: 'Press the button below to draw it anyway.'});
    byId('diff-draw').hidden = drawn !== 'large';
  }

  async function compareWith(file) {
    await page.ready;
    if (!page.file) return;
    try {
      compare({name: file.name, bytes: await bytesOf(file)});
    } catch (failure) {
      byId('diff-result').hidden = true;
      byId('diff-failure').hidden = false;
      byId('diff-failure').textContent = 'The page could not compare with ' + file.name + ': ' + failure;
    }
    page.compares += 1;
    document.body.dataset.compares = String(page.compares);
  }

  // One file opens it; two (the first two) also show what changed from the
  // older to the newer, since a file chooser gives them in an order of its own.
  async function openFiles(files) {
    if (!files.length) return;
    const [old, other] = files.slice(0, 2).sort((a, b) => a.lastModified - b.lastModified);
    await open(old);
    if (other) await compareWith(other);
  }

  // ---- wiring ----

  // A file chooser and the label around it that files may be dropped on.
  function takeFiles(input, drop, take) {
    input.addEventListener('change', () => {
      const files = Array.from(input.files);
      input.value = '';  // so that choosing the same file again opens it again
      take(files);
    });
    drop.addEventListener('dragover', (event) => {
      event.preventDefault();
      drop.classList.add('over');
    });
    drop.addEventListener('dragleave', () => drop.classList.remove('over'));
    drop.addEventListener('drop', (event) => {
      event.preventDefault();
      drop.classList.remove('over');
      take(Array.from(event.dataTransfer.files));
    });
  }

  function wire() {
    takeFiles(byId('file-input'), byId('drop'), openFiles);
    takeFiles(byId('diff-input'), byId('diff-drop'), (files) => {
      if (files.length) compareWith(files[0]);
    });
    // A file dropped anywhere else would make the browser leave the page.
    window.addEventListener('dragover', (event) => event.preventDefault());
    window.addEventListener('drop', (event) => event.preventDefault());
    byId('draw-form').addEventListener('submit', (event) => {
      event.preventDefault();
      draw(true);
    });
    byId('station-filter').addEventListener('input', renderStations);
    byId('route-filter').addEventListener('input', renderRoutes);
    byId('add-route').addEventListener('submit', addRoute);
    byId('rebuild').addEventListener('click', rebuild);
    byId('rebuild-diff').addEventListener('click', () => {
      compare(page.rebuilt);
      byId('diff').scrollIntoView();
    });
    byId('diff-draw').addEventListener('click', () => drawDifference(true));
  }

  wire();
  page.ready = Promise.all([createFenwa(), Viz.instance()]).then(([fenwa, viz]) => {
    page.fenwa = fenwa;
    page.viz = viz;
    page.readyAt = performance.now();  // milliseconds since the page began to load
    setState('ready', 'Ready: open a file.');
  }, (failure) => {
    setState('broken', 'The page could not start: ' + failure);
  });
})();
