// The playground page in a real browser: Chromium, driven by playwright-core,
// loads the built page from a small server on 127.0.0.1. What the page shows
// and saves is compared with what the native orvix prints and writes for the
// same source, in an empty directory, as `orvix -W -f FORMAT NAME.asm
// NAME.EXT`.
//
// Environment (set by CTest): ORVIX_WEB_DIR, the built page; ORVIX_NATIVE,
// the native orvix; ORVIX_SOURCE_DIR, the source tree; CHROMIUM, the browser.
// The screenshot for the README is left as playground.png in ORVIX_WEB_DIR.

'use strict';

const {test, before, after} = require('node:test');
const assert = require('node:assert/strict');
const {spawnSync} = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const {chromium} = require('playwright-core');

const WEB_DIR = process.env.ORVIX_WEB_DIR;
const NATIVE = process.env.ORVIX_NATIVE;
const EXAMPLES_DIR = path.join(process.env.ORVIX_SOURCE_DIR, 'examples');
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

let server;
let origin;
let browser;
const served = [];     // paths the server was asked for
const elsewhere = [];  // URLs the pages asked another host for
const errors = [];     // what the pages reported as errors

// Serves the page's files, and nothing else, from WEB_DIR.
function serve() {
  server = http.createServer((request, response) => {
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
      origin = `http://127.0.0.1:${server.address().port}`;
      resolve();
    });
  });
}

before(async () => {
  await serve();
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
});

// A fresh profile (no stored source) whose requests to any host but the
// test's server are aborted and recorded.
async function newContext(options = {}) {
  const context = await browser.newContext({acceptDownloads: true, ...options});
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith(origin + '/')) return route.continue();
    elsewhere.push(url);
    return route.abort();
  });
  return context;
}

async function open(context, address = '/') {
  const page = await context.newPage();
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  await page.goto(origin + address);
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
  };
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
// with a warning or an error and its text below the editor (by line), the
// console as the native run prints it, and no image to save.
const FAILURES = [
  {
    what: 'typed mistakes, ending in an unknown mnemonic',
    source: MISTAKES,
    typed: true,
    rows: [
      ['00', '1000101100', '22c', '2', 'start:\t\tload 300'],
      ['01', '0011000101', '0c5', '3', '\t\tadd 5'],
      ['02', '1100100000', '320', '4', '\t\tinc 5'],
      ['03', '0001000000', '040', '5', '\t\tj nowhere'],
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

test('with the network cut after loading, the page still assembles and saves', async () => {
  const context = await newContext();
  const page = await open(context);
  const requests = [];
  page.on('request', (r) => requests.push(r.url()));
  await context.setOffline(true);
  await setSource(page, 'loop: inc\n j loop\n', true);
  const seen = await shown(page);
  assert.deepEqual(seen.rows, [
    ['00', '1100100000', '320', '1', 'loop:\t\tinc 0'],
    ['01', '0001000000', '040', '2', '\t\tj loop'],
  ]);
  const saved = await saveImage(page);
  assert.ok(saved.bytes.equals(nativeRun(seen.source, 'mif', 'program').image));
  assert.deepEqual(requests.filter((u) => !u.startsWith('blob:')), []);
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
  // Nothing wider than the screen but the boxes that scroll on their own.
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 360, `the page is ${width} pixels wide`);
  await context.close();
});

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

test('nothing was requested from another host, and no page reported an error', () => {
  assert.deepEqual(elsewhere, []);
  assert.deepEqual(errors, []);
  const files = new Set(served);
  assert.deepEqual([...files].sort(),
                   ['/', '/assembler.js', '/assembler.wasm', '/playground.css', '/playground.js']);
});
