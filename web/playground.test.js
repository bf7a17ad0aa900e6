// The playground page in a real browser: Chromium, driven by playwright-core,
// loads the built page from a small server on 127.0.0.1. What the page shows
// and saves is compared with what the native orvix prints and writes for the
// same source, in an empty directory, as `orvix -W -f FORMAT NAME.asm
// NAME.EXT`.
//
// Environment (set by CTest): ORVIX_WEB_DIR, the built page; ORVIX_NATIVE,
// the native orvix; ORVIX_SOURCE_DIR, the source tree; CHROMIUM, the browser;
// NODE_PATH, where playwright-core and axe-core are installed;
// ORVIX_BROWSER_PART, "k/n", runs the k-th of n parts alone (counting from
// 0): every n-th test from the k-th, and the last check. Without it every
// test runs.
// The screenshot for the README is left as playground.png in ORVIX_WEB_DIR.

'use strict';

const nodeTest = require('node:test');
const {before, after} = nodeTest;
const assert = require('node:assert/strict');
const {spawnSync} = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const {pathToFileURL} = require('node:url');
const {chromium} = require('playwright-core');

const WEB_DIR = process.env.ORVIX_WEB_DIR;
const NATIVE = process.env.ORVIX_NATIVE;
const EXAMPLES_DIR = path.join(process.env.ORVIX_SOURCE_DIR, 'examples');
const MANUAL = path.join(process.env.ORVIX_SOURCE_DIR, 'docs', 'orvix.1.in');
const AXE = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');

const [PART, PARTS] = (process.env.ORVIX_BROWSER_PART || '0/1').split('/').map(Number);
let tests = 0;  // registered so far, in this part or another
// Registers a test of this part; the others' are left out.
function test(name, fn) {
  if (tests++ % PARTS === PART) nodeTest(name, fn);
}
// The file name extension of each format, as the page's selector has them
// from the module (read when the first page opens).
let EXTENSIONS = null;

// A program with a mistake on every line but the first and the last.
const MISTAKES = [
  '; mistakes on purpose',
  'start:  load 300        ; too wide for 8 bits',
  '        add 5, 7        ; text after the operand',
  '        inc 5           ; inc takes no operand',
  '        j nowhere       ; no such label',
  '        bogus 1',
  '        sto 3',
].join('\n');
// The same with the unknown mnemonic put right: it assembles, with warnings.
const WARNINGS = MISTAKES.replace('bogus 1', 'outb');

// --- What the page is compared with ----------------------------------------

// The native run on `source` (text or bytes) in an empty directory.
function nativeRun(source, format, name) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orvix-web-'));
  try {
    const image = `${name}.${EXTENSIONS[format]}`;
    fs.writeFileSync(path.join(dir, `${name}.asm`), source);
    const run = spawnSync(NATIVE, ['-W', '-f', format, `${name}.asm`, image], {cwd: dir});
    assert.equal(run.error, undefined, `cannot run ${NATIVE}`);
    return {
      status: run.status,
      console: run.stdout.toString('utf8'),
      image: run.status === 0 ? fs.readFileSync(path.join(dir, image)) : null,
    };
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

// --- The server and the browser ----------------------------------------------

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
};

let origin;            // the server of every test but the one that stops its own
let browser;
const origins = [];    // every server's
const served = [];     // paths the servers were asked for
const elsewhere = [];  // URLs the pages asked another host for
const errors = [];     // what the pages reported as errors

// Serves the page's files, and nothing else, from WEB_DIR, on a port of its
// own: {origin, stop()}; stop() cuts every connection.
function serve() {
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    served.push(url.pathname);
    const file = url.pathname === '/' ? 'index.html' : url.pathname.slice(1);
    const type = TYPES[path.extname(file)];
    if (file.includes('/') || type === undefined || !fs.existsSync(path.join(WEB_DIR, file))) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {'Content-Type': type});
    response.end(fs.readFileSync(path.join(WEB_DIR, file)));
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      const at = `http://127.0.0.1:${server.address().port}`;
      origins.push(at);
      resolve({
        origin: at,
        stop: () => {
          server.close();
          server.closeAllConnections();
        },
      });
    });
  });
}

let main;  // the server of `origin`

before(async () => {
  main = await serve();
  origin = main.origin;
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (main) main.stop();
});

// A fresh profile (no stored source) whose requests to any host but the
// test's servers are aborted and recorded.
async function newContext(options = {}) {
  const context = await browser.newContext({acceptDownloads: true, ...options});
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (origins.some((o) => url.startsWith(o + '/'))) return route.continue();
    elsewhere.push(url);
    return route.abort();
  });
  return context;
}

function watch(page) {
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
}

async function open(context, address = '/', at = origin) {
  const page = await context.newPage();
  watch(page);
  await page.goto(at + address);
  await page.locator('body[data-ready="true"]').waitFor();
  if (EXTENSIONS === null) {
    const options = await page.getByLabel('Format').locator('option').evaluateAll(
        (list) => list.map((o) => [o.value, o.dataset.extension]));
    EXTENSIONS = Object.fromEntries(options);
  }
  return page;
}

// Replaces the editor's text as if it were typed.
async function setSource(page, text, typed = false) {
  const source = page.getByLabel('Source');
  if (typed) {
    await source.click();
    await page.keyboard.press('ControlOrMeta+A');
    await page.keyboard.press('Delete');
    await page.keyboard.type(text);
  } else {
    await source.fill(text);
  }
}

// What the page shows of the last run, found as a person (or a screen
// reader) finds it: by the labels and names of the controls.
async function shown(page) {
  const cells = (rows) => rows.map((tr) => [...tr.cells].map((td) => td.textContent));
  const marks = (lines) => lines.map((div) => [Number(div.dataset.line), div.className]);
  return {
    source: await page.getByLabel('Source').inputValue(),
    example: await page.getByLabel('Example').inputValue(),
    rows: await page.getByRole('table', {name: 'Listing'}).locator('tbody tr').evaluateAll(cells),
    marks: await page.locator('#gutter').locator('.warning, .error').evaluateAll(marks),
    problems:
        await page.getByRole('list', {name: 'Problems'}).getByRole('listitem').allTextContents(),
    command: await page.locator('#command').textContent(),
    console: await page.getByLabel('Console').textContent(),
    image: await page.getByLabel('Image').textContent(),
    canDownload: await page.getByRole('button', {name: 'Download'}).isEnabled(),
    notice: await page.locator('#notice:not([hidden])').allTextContents(),
  };
}

// [scrollLeft, scrollTop] of `area` once it has stopped scrolling.
async function settled(area) {
  const at = () => area.evaluate((e) => [e.scrollLeft, e.scrollTop]);
  let last = await at();
  for (let i = 0; i < 50; i++) {
    await new Promise((resolve) => setTimeout(resolve, 100));
    const now = await at();
    if (now[0] === last[0] && now[1] === last[1]) break;
    last = now;
  }
  return last;
}

async function saveImage(page) {
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', {name: 'Download'}).click(),
  ]);
  return {name: download.suggestedFilename(), bytes: fs.readFileSync(await download.path())};
}

// --- The tests -----------------------------------------------------------------

// Failed runs: the rows encoded before the failure, a mark at every line
// with a warning or an error and its text below the editor (by line, those
// of no line first), the console as the native run prints it, and no image
// to save. Every failure says why among the problems.
const FAILURES = [
  {
    what: 'typed mistakes, ending in an unknown mnemonic',
    source: MISTAKES,
    typed: true,
    rows: [
      ['00', '1000101100', '22c', '2', 'start:  load 300'],
      ['01', '0011000101', '0c5', '3', '        add 5'],
      ['02', '1100100000', '320', '4', '        inc 5'],
      ['03', '0001000000', '040', '5', '        j nowhere'],
    ],
    marks: [[2, 'warning'], [3, 'warning'], [4, 'warning'], [5, 'warning'], [6, 'error']],
    problems: [/^program\.asm:2: warning: operand 300 /, /^program\.asm:3: warning: text after /,
               /^program\.asm:4: warning: 'inc' takes no /, /^program\.asm:5: warning: jump to /,
               /^program\.asm:6: error: .*'bogus'/],
  },
  {
    what: 'one statement more than memory holds',
    source: 'inc\n'.repeat(33),
    rows: [],
    marks: [[33, 'error']],
    problems: [/^program\.asm:33: error: too many statements: the memory holds 32 words$/],
  },
  {
    what: 'an empty source',
    source: '',
    rows: [],
    marks: [],
    problems: [/^program\.asm: error: the source holds no statement$/],
  },
  {
    what: 'comments alone',
    source: '; nothing yet\n\n   ; still nothing\n',
    rows: [],
    marks: [],
    problems: [/^program\.asm: error: the source holds no statement$/],
  },
  {
    what: 'a label alone on a line, after a statement',
    source: 'start: load 1\n  next:   ; no instruction\nj start\n',
    rows: [['00', '1000000001', '201', '1', 'start:  load 1']],
    marks: [[2, 'error']],
    problems: [/^program\.asm:2: error: no instruction after the label 'next': a statement needs /],
  },
];

test('failed runs: rows, marks, problems, console, no image', async () => {
  const context = await newContext();
  const page = await open(context);
  for (const failure of FAILURES) {
    await setSource(page, failure.source, failure.typed);
    const seen = await shown(page);
    const native = nativeRun(seen.source, 'mif', 'program');
    const what = failure.what;
    assert.equal(seen.source, failure.source, what);
    assert.equal(native.status, 1, what);
    assert.equal(seen.console, native.console, what);
    assert.equal(seen.command, 'orvix -W -f mif program.asm program.mif', what);
    assert.deepEqual(seen.rows, failure.rows, what);
    assert.deepEqual(seen.marks, failure.marks, what);
    assert.deepEqual(seen.notice, [], what);
    assert.equal(seen.problems.length, failure.problems.length, what);
    failure.problems.forEach((p, i) => assert.match(seen.problems[i], p, what));
    for (const text of seen.problems) assert.ok(native.console.includes(text + '\n'), what);
    assert.equal(seen.canDownload, false, what);
    assert.equal(seen.image, '', what);
  }
  await context.close();
});

test('every format of every example and of a typed program equals the native image', async () => {
  const context = await newContext({viewport: {width: 1280, height: 860}});
  const page = await open(context);
  const format = page.getByLabel('Format');
  const programs = [{name: 'program', source: WARNINGS, pick: () => setSource(page, WARNINGS)}];
  for (const file of fs.readdirSync(EXAMPLES_DIR).filter((f) => f.endsWith('.asm')).sort()) {
    const name = file.slice(0, -4);
    // The file as it is, line ends and all: the page must make the same image.
    const source = fs.readFileSync(path.join(EXAMPLES_DIR, file));
    programs.push({name, source, pick: () => page.getByLabel('Example').selectOption(name)});
  }
  assert.ok(programs.length >= 4, 'the examples are found');
  const formats = Object.keys(EXTENSIONS);
  assert.ok(formats.includes('mif'), 'the formats are found');
  for (const program of programs) {
    await program.pick();
    for (const f of formats) {
      await format.selectOption(f);
      const seen = await shown(page);
      const native = nativeRun(program.source, f, program.name);
      const what = `${program.name}, ${f}`;
      assert.equal(native.status, 0, what);
      assert.equal(seen.console, native.console, what);
      assert.equal(seen.image, native.image.toString('utf8'), what);
      assert.equal(seen.example, program.name === 'program' ? '' : program.name, what);
      const saved = await saveImage(page);
      assert.equal(saved.name, `${program.name}.${EXTENSIONS[f]}`, what);
      assert.ok(saved.bytes.equals(native.image), `${what}: downloaded bytes differ`);
    }
  }
  // Opening the examples kept the typed program.
  await page.getByLabel('Example').selectOption('(your program)');
  assert.equal((await shown(page)).source, WARNINGS);
  // The picture of the page in the README: the typed program, with warnings.
  await format.selectOption('mif');
  await page.getByLabel('Source').blur();
  await page.screenshot({path: path.join(WEB_DIR, 'playground.png')});
  await context.close();
});

test('a link reproduces the program and wins over the stored one', async () => {
  const first = await newContext();
  let page = await open(first);
  await setSource(page, WARNINGS);
  await page.getByLabel('Format').selectOption('readmemh');
  const link = new URL(page.url());
  const before = await shown(page);
  await page.reload();
  await page.locator('body[data-ready="true"]').waitFor();
  assert.deepEqual(await shown(page), before, 'after a reload');
  await first.close();

  // A fresh profile starts with the default example, then keeps what was typed.
  const second = await newContext();
  page = await open(second);
  assert.equal((await shown(page)).example, 'counter');
  await setSource(page, 'load 1\n');
  page = await open(second);
  assert.equal((await shown(page)).source, 'load 1\n', 'kept between visits');
  page = await open(second, link.pathname + link.hash);
  assert.deepEqual(await shown(page), before, 'the link wins');
  page = await open(second);
  assert.equal((await shown(page)).source, WARNINGS, 'the linked program is kept');
  await second.close();
});

// Links that lost part of their program: each says so above the page and
// stays in the address as it came until the program is edited. One that
// cannot be read at all shows the program kept in the browser instead.
const WHOLE = 'start: load 1\n        j start\n';
const STORED = 'inc\n';
const LINKS = [
  {what: 'a link made before links had an end',
   hash: '#src=' + encodeURIComponent(WHOLE) + '&format=coe', source: WHOLE, format: 'coe',
   notice: /^This link has no end mark: if it was cut short, so is the program/},
  {what: 'a link cut short between two escapes', hash: '#src=start%3A%20load%201%0A',
   source: 'start: load 1\n', format: 'mif', notice: /^This link has no end mark/},
  {what: 'a link cut short inside an escape', hash: '#src=start%3A%20load%201%0',
   source: STORED, format: 'mif',
   notice: /^The program in this link cannot be read: .* your last program in this browser\.$/},
  {what: 'a link whose bytes are no UTF-8', hash: '#src=load%20%FF%0A&end', source: STORED,
   format: 'mif', notice: /^The program in this link cannot be read/},
];

test('a link that lost part of its program says so', async () => {
  const context = await newContext();
  await setSource(await open(context), STORED);
  for (const link of LINKS) {
    const page = await open(context, '/' + link.hash);
    const seen = await shown(page);
    assert.equal(seen.source, link.source, link.what);
    assert.equal(await page.getByLabel('Format').inputValue(), link.format, link.what);
    assert.equal(seen.notice.length, 1, link.what);
    assert.match(seen.notice[0], link.notice, link.what);
    assert.equal(new URL(page.url()).hash, link.hash, `${link.what}: the address is kept`);
    await setSource(page, seen.source + 'inc\n', true);
    assert.deepEqual((await shown(page)).notice, [], `${link.what}: gone after an edit`);
    assert.match(new URL(page.url()).hash, /&end$/, link.what);
    await setSource(page, STORED);
    await page.close();
  }
  await context.close();
});

test('opened from the disk, the page says to serve its folder', async () => {
  const context = await browser.newContext();
  const page = await context.newPage();
  watch(page);
  const requests = [];
  page.on('request', (r) => requests.push(r.url()));
  await page.goto(pathToFileURL(path.join(WEB_DIR, 'index.html')).href);
  const notice = page.getByRole('alert');
  await notice.waitFor({timeout: 10000});
  assert.match(await notice.textContent(),
               /^This page was opened from the disk.* run "python3 -m http\.server 8000 /);
  assert.equal(await page.getByLabel('Source').isDisabled(), true);
  assert.deepEqual(await page.getByRole('list', {name: 'Problems'}).getByRole('listitem')
                       .allTextContents(), ['No assembler: nothing is assembled.']);
  assert.deepEqual(requests.filter((u) => !u.startsWith('file:')), []);
  await context.close();
});

test('with the network cut, the page assembles and saves, a reload included', async () => {
  // A server of its own, stopped when the network is cut: nothing can come
  // from it any more.
  const own = await serve();
  const context = await newContext();
  let page = await open(context, '/', own.origin);
  const kept = await page.evaluate(() => Promise.race([
    navigator.serviceWorker.ready.then((registration) => registration.active !== null),
    new Promise((resolve) => setTimeout(() => resolve(false), 20000)),
  ]));
  assert.equal(kept, true, 'a service worker keeps the page');
  const requests = [];
  page.on('request', (r) => requests.push(r.url()));
  await context.setOffline(true);
  own.stop();
  const program = 'loop: inc\n j loop\n';
  const rows = [
    ['00', '1100100000', '320', '1', 'loop:  inc 0'],
    ['01', '0001000000', '040', '2', '       j loop'],
  ];
  const image = nativeRun(program, 'mif', 'program').image;
  await setSource(page, program, true);
  assert.deepEqual((await shown(page)).rows, rows);
  assert.ok((await saveImage(page)).bytes.equals(image));
  assert.deepEqual(requests.filter((u) => !u.startsWith('blob:')), []);

  await page.reload();
  await page.locator('body[data-ready="true"]').waitFor();
  assert.equal((await shown(page)).source, program, 'kept over the reload');
  await setSource(page, 'inc\n' + program, true);
  assert.equal((await shown(page)).rows.length, 3, 'assembled after the reload');
  await setSource(page, program, true);
  assert.ok((await saveImage(page)).bytes.equals(image), 'saved after the reload');
  // A new tab at the page's address opens too, and so does the manual.
  page = await open(context, '/', own.origin);
  assert.equal((await shown(page)).source, program);
  await page.getByRole('link', {name: 'manual page'}).click();
  await page.getByRole('heading', {name: 'NAME'}).waitFor();
  await context.close();
});

test('keyboard alone, on a phone-sized screen', async () => {
  const context = await newContext({viewport: {width: 360, height: 740}, isMobile: true});
  const page = await open(context);
  const focused = () => page.evaluate(() => document.activeElement.id);
  // Tab to the editor and type; Tab on to the problem and press it to select
  // its line; then Tab on to the button and press it.
  for (let i = 0; i < 5 && (await focused()) !== 'source'; i++) await page.keyboard.press('Tab');
  assert.equal(await focused(), 'source');
  await page.keyboard.press('ControlOrMeta+A');
  await page.keyboard.type('add 1\nload 300\nj 0\n');
  await page.keyboard.press('Tab');
  assert.match(await page.evaluate(() => document.activeElement.textContent),
               /^program\.asm:2: warning: /);
  await page.keyboard.press('Enter');
  assert.equal(await focused(), 'source');
  assert.equal(await page.evaluate(() => {
    const source = document.activeElement;
    return source.value.slice(source.selectionStart, source.selectionEnd);
  }), 'load 300');
  for (let i = 0; i < 10 && (await focused()) !== 'download'; i++) {
    await page.keyboard.press('Tab');
  }
  assert.equal(await focused(), 'download');
  const [download] = await Promise.all([page.waitForEvent('download'),
                                        page.keyboard.press('Enter')]);
  assert.equal(download.suggestedFilename(), 'program.mif');
  // Tab on to each area that scrolls, and scroll it with the keys to its
  // far end, down and right: the listing's last column comes into view.
  for (const name of ['Listing', 'Console', 'Image']) {
    await page.keyboard.press('Tab');
    const area = page.getByRole('region', {name, exact: true});
    assert.equal(await area.evaluate((e) => e === document.activeElement), true, name);
    await page.keyboard.press('End');
    for (let i = 0, left = -1; i < 40; i++) {
      const [now] = await settled(area);
      if (now === left) break;
      left = now;
      await page.keyboard.press('ArrowRight');
    }
    const end = await area.evaluate((e) => [e.scrollLeft + e.clientWidth - e.scrollWidth,
                                           e.scrollTop + e.clientHeight - e.scrollHeight]);
    assert.ok(end.every((gap) => Math.abs(gap) <= 1), `${name} scrolled to its end: ${end}`);
  }
  const statement = await page.getByRole('columnheader', {name: 'Statement'}).boundingBox();
  assert.ok(statement.x >= 0 && statement.x + statement.width <= 360,
            `the listing's last column at ${statement.x}+${statement.width}`);
  // Nothing wider than the screen but the boxes that scroll on their own.
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 360, `the page is ${width} pixels wide`);
  await context.close();
});

// A program longer than the editor shows, of lines numbered up to 110,
// with a mark every four lines (27 statements, each with a warning).
const LONG = Array.from({length: 110}, (_, i) => {
  if (i % 8 === 1) return `        load ${300 + i}`;
  if (i % 8 === 5) return `l${i}:     add ${i % 16}, 7`;
  return `; line ${i + 1}`;
}).join('\n');

// Checks that every line number and mark the gutter shows stands beside its
// line, whole: a click in the source at the height of a number puts the
// caret on that line. Returns how many numbers, and marks among them, were
// checked.
async function checkGutter(page) {
  const source = page.getByLabel('Source');
  const rows = await page.evaluate(() => {
    const area = document.getElementById('source');
    const box = area.getBoundingClientRect();
    const top = box.top + area.clientTop;
    const bottom = top + area.clientHeight;
    const left = box.left + area.clientLeft + parseFloat(getComputedStyle(area).paddingLeft);
    const gutter = document.getElementById('gutter').parentElement.getBoundingClientRect();
    const text = (row) => {
      const range = document.createRange();
      range.selectNodeContents(row);
      return range.getBoundingClientRect();
    };
    return [...document.querySelectorAll('#gutter [data-line]')]
        .map((row) => ({line: Number(row.dataset.line), mark: row.className !== '',
                        box: row.getBoundingClientRect(), text: text(row)}))
        .filter((r) => r.box.top >= top && r.box.bottom <= bottom)
        .map((r) => ({line: r.line, mark: r.mark, x: left + 4, y: (r.box.top + r.box.bottom) / 2,
                      whole: r.text.left >= gutter.left && r.text.right <= gutter.right}));
  });
  for (const row of rows) {
    assert.ok(row.whole, `the number ${row.line} is cut off`);
    await page.mouse.click(row.x, row.y);
    const at = await source.evaluate((area) =>
        area.value.slice(0, area.selectionStart).split('\n').length);
    assert.equal(at, row.line, `the number ${row.line} stands beside line ${at}`);
  }
  return {numbers: rows.length, marks: rows.filter((r) => r.mark).length};
}

// Scrolls the source with the mouse wheel; returns where it stands still
// once it has moved.
async function wheel(page, pixels) {
  const source = page.getByLabel('Source');
  const box = await source.boundingBox();
  const from = await source.evaluate((area) => area.scrollTop);
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.wheel(0, pixels);
  await page.waitForFunction((start) => document.getElementById('source').scrollTop !== start,
                             from, {timeout: 10000});
  return (await settled(source))[1];
}

const SCREENS = [
  {width: 1280, height: 800},
  {width: 360, height: 740, isMobile: true},
];

for (const {width, height, isMobile} of SCREENS) {
  const what = `${width}x${height}`;
  test(`line numbers and marks stay beside their lines however the source is scrolled, ${what}`,
       async () => {
    const context = await newContext({viewport: {width, height}, isMobile});
    const page = await open(context);
    // The program but its last line, then that line typed at its end: the
    // source is scrolled to its end; then half way up, then to the top.
    const last = LONG.lastIndexOf('\n') + 1;
    await setSource(page, LONG.slice(0, last));
    await page.keyboard.press('ControlOrMeta+End');
    await page.keyboard.type(LONG.slice(last));
    assert.equal(await page.getByLabel('Source').inputValue(), LONG, what);
    const end = await page.getByLabel('Source').evaluate((area) => area.scrollTop);
    assert.ok(end > 0, `${what}: the program is longer than the editor shows`);
    const seen = await checkGutter(page);
    assert.ok(seen.numbers >= 5 && seen.marks >= 1, `${what}: ${JSON.stringify(seen)} checked`);
    const middle = await wheel(page, -end / 2);
    assert.ok(middle > 0 && middle < end, `${what}: scrolled to ${middle} of ${end}`);
    assert.ok((await checkGutter(page)).marks >= 1, what);
    assert.equal(await wheel(page, -end), 0, what);
    assert.ok((await checkGutter(page)).marks >= 1, what);
    await context.close();
  });
}

// The instruction table of the manual page's source, row by row as the
// page shows it: mnemonic, word, operand.
function manualTable() {
  const roff = fs.readFileSync(MANUAL, 'utf8');
  const table = roff.slice(roff.indexOf('\n_\n', roff.indexOf('.TS')) + 3, roff.indexOf('\n.TE'));
  return table.split('\n').map((line) => line.replace(/\\-/g, '-').split('\t'));
}

// The words the native orvix makes of every mnemonic given `operand`.
function nativeWords(names, operand) {
  const run = nativeRun(names.map((n) => `${n} ${operand}\n`).join(''), 'mif', 'program');
  assert.equal(run.status, 0, `the mnemonics with ${operand}`);
  return run.console.split('\n').filter((line) => /^[01]{10}$/.test(line));
}

test('the instruction reference is the assembler\'s table, as the manual shows it', async () => {
  const context = await newContext();
  const page = await open(context);
  const table = page.getByRole('table', {name: 'Mnemonics'});
  const rows = await table.locator('tbody tr').evaluateAll(
      (list) => list.map((tr) => [...tr.cells].map((td) => td.textContent)));
  assert.equal(rows.length, 21);
  assert.deepEqual(rows, manualTable());
  // A field's bits all 0, then all 1 (-1 in two's complement): the words
  // the native assembler makes.
  const names = rows.map((r) => r[0]);
  const word = (r, bit) => r[1].replace(' ', '').replace(/[da]/g, bit);
  assert.deepEqual(nativeWords(names, 0), rows.map((r) => word(r, '0')));
  assert.deepEqual(nativeWords(names, -1), rows.map((r) => word(r, '1')));
  // The manual page beside it, its table a table.
  await page.getByRole('link', {name: 'manual page'}).click();
  await page.getByRole('heading', {name: 'NAME'}).waitFor();
  const manual = await page.getByRole('row').evaluateAll(
      (list) => list.map((tr) => [...tr.cells].map((td) => td.textContent.trim())));
  for (const row of rows) assert.ok(manual.some((m) => m.join('|') === row.join('|')), row[0]);
  await context.close();
});

// The serious and critical problems axe-core finds in the page as it stands.
async function accessibilityProblems(page) {
  // Evaluated through the browser's debugging protocol: the page's content
  // security policy would refuse it as a script of the page.
  await page.evaluate(AXE);
  return page.evaluate(async () => {
    const result = await axe.run(document, {resultTypes: ['violations']});
    return result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

for (const {width, height, isMobile} of SCREENS) {
  for (const colorScheme of ['light', 'dark']) {
    const what = `${width}x${height}, ${colorScheme}`;
    test(`axe-core finds no serious problem, ${what}`, async () => {
      const context = await newContext({viewport: {width, height}, isMobile, colorScheme});
      const page = await open(context);
      // The theme follows the system's: a dark background in the dark.
      const background = await page.evaluate(
          () => getComputedStyle(document.body).backgroundColor.match(/\d+/g).map(Number));
      const light = background.reduce((a, b) => a + b) > 3 * 128;
      assert.equal(light, colorScheme === 'light', `${what}: background ${background}`);
      for (const source of [MISTAKES, WARNINGS]) {
        await setSource(page, source);
        assert.deepEqual(await accessibilityProblems(page), [], what);
      }
      await context.close();
    });
  }
}


// The native orvix -d on the file `name` holding `bytes`, in an empty
// directory: its status and what it writes on standard output.
function nativeReadBack(bytes, name) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orvix-web-'));
  try {
    fs.writeFileSync(path.join(dir, name), bytes);
    const run = spawnSync(NATIVE, ['-d', name], {cwd: dir});
    return {status: run.status, source: run.stdout.toString('utf8'),
            errors: run.stderr.toString('utf8')};
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

test('a memory file read back: the program orvix -d writes, opened in the editor', async () => {
  const context = await newContext();
  const page = await open(context);
  assert.ok('logisim' in EXTENSIONS && 'vhdl' in EXTENSIONS, 'every format is offered');
  const pasted = page.getByLabel('Paste a memory file');
  const program = page.locator('#readback-program');
  const notes = page.getByRole('list', {name: 'Reading notes'}).getByRole('listitem');
  const edit = page.getByRole('button', {name: 'Edit this program'});
  // The COE image of every example, which carries no statements: decoded.
  for (const file of fs.readdirSync(EXAMPLES_DIR).filter((f) => f.endsWith('.asm')).sort()) {
    const source = fs.readFileSync(path.join(EXAMPLES_DIR, file));
    const coe = nativeRun(source, 'coe', 'program').image;
    await pasted.fill(coe.toString('utf8'));
    const native = nativeReadBack(coe, 'pasted');
    assert.equal(native.status, 0, file);
    assert.equal(await program.textContent(), native.source, file);
    assert.equal(await notes.count(), 0, file);
    await edit.click();
    const seen = await shown(page);
    assert.equal(seen.source, native.source, file);
    assert.ok(seen.image === nativeRun(native.source, 'mif', 'program').image.toString('utf8'));
    // The same words as the example's.
    const words = (image) => image.toString('utf8').split('\n').filter((l) => / : /.test(l))
        .map((l) => l.replace(/ ;.*/, ''));
    assert.deepEqual(words(Buffer.from(seen.image)), words(nativeRun(source, 'mif', 'x').image),
                     file);
  }
  // A file opened, and a broken one: the error at its line, no program.
  await page.getByLabel('Open a file').setInputFiles({
    name: 'lab.mif', mimeType: 'text/plain',
    buffer: Buffer.from('DEPTH = 32;\nWIDTH = 8;\nCONTENT BEGIN\nEND;\n')});
  await page.waitForFunction(() => document.querySelector('#readback-notes li') !== null);
  assert.deepEqual(await notes.allTextContents(),
                   ['lab.mif:2: error: WIDTH 8 is too narrow for ZRC words of 10 bits']);
  assert.equal(await program.textContent(), '');
  assert.equal(await edit.isEnabled(), false);
  await context.close();
});

nodeTest('nothing was requested from another host, and no page reported an error', () => {
  assert.deepEqual(elsewhere, []);
  assert.deepEqual(errors, []);
  const page = ['/', '/assembler.js', '/assembler.wasm', '/manual.html', '/playground.css',
                '/playground.js', '/service-worker.js'];
  const files = [...new Set(served)].sort();
  // One part's tests may not ask for every file; all of them do.
  if (PARTS === 1) assert.deepEqual(files, page);
  for (const file of files) assert.ok(page.includes(file), `${file} is no file of the page`);
});
