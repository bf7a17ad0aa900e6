// The playground page: runs the assembler (assembler.js, the same C++ code
// as the orvix program, compiled to WebAssembly) on the text of the editor
// as the user types, as the command
//
//   orvix -W -f FORMAT NAME.asm NAME.EXT
//
// run in an empty directory would. One call of the module per keystroke
// returns what the page shows: the listing's rows, the diagnostics at their
// lines, the console text that run prints and the bytes of the image it
// writes. NAME is the example's name when the editor holds an example as
// bundled, "program" otherwise. The formats, with their file name
// extensions, come from the module.
//
// The source (and the format) are kept in the page address's fragment, so a
// link reproduces the program, and in local storage between visits; a link
// wins over what was stored, and one that cannot be read is said to be so.
// A service worker (service-worker.js) keeps the page's files, so that a
// reload works offline. Nothing is requested from anywhere after the page,
// its script and the module have loaded. The instruction reference is made
// from the module's table of mnemonics.
//
// A memory file pasted or opened below is read back as `orvix -d NAME`
// reads it; the program it gives can be opened in the editor.

'use strict';

(() => {
  const TYPED_NAME = 'program';
  const DEFAULT_EXAMPLE = 'counter';
  const STORED_SOURCE = 'orvix.playground.source';
  const STORED_FORMAT = 'orvix.playground.format';
  const STORED_TYPED = 'orvix.playground.typed';

  const $ = (id) => document.getElementById(id);
  const ui = {
    example: $('example'),
    source: $('source'),
    gutter: $('gutter'),
    notice: $('notice'),
    problems: $('problems'),
    format: $('format'),
    download: $('download'),
    status: $('status'),
    listing: document.querySelector('#listing tbody'),
    command: $('command'),
    console: $('console'),
    image: $('image'),
    mnemonics: document.querySelector('#mnemonics tbody'),
  };

  let assembler = null;     // the WebAssembly module
  const formats = new Map();   // name -> {name, title, extension, help}
  const examples = new Map();  // name -> text, line ends as an editor has them
  let download = null;      // {name, bytes} of the last image, or null
  let typed = '';           // the last text that was no example

  // --- The run ------------------------------------------------------------

  // `text` with its line ends as an editor gives them: LF alone.
  const editorText = (text) => text.replace(/\r\n?/g, '\n');

  function nameOf(source) {
    for (const [name, text] of examples) {
      if (text === source) return name;
    }
    return TYPED_NAME;
  }

  function assemble(source, format) {
    const name = nameOf(source);
    const run = assembler.assemble(source, format, name);
    return {
      name,
      command: run.command,
      status: run.status,
      console: new TextDecoder().decode(run.console),
      rows: run.rows,
      problems: problemsOf(run),
      imagePath: run.imageName,
      image: run.image,
    };
  }

  // The diagnostics by source line (those of no line, 0, first), then why a
  // run failed when no diagnostic says it.
  function problemsOf(run) {
    const problems = run.diagnostics.map((d) => ({line: d.line, kind: d.severity, text: d.text}));
    problems.sort((a, b) => a.line - b.line);
    if (run.failure !== '' && !problems.some((p) => p.kind === 'error')) {
      problems.push({line: Infinity, kind: 'error', text: run.failure.replace(/\n$/, '')});
    }
    return problems;
  }

  // --- Showing a run -----------------------------------------------------

  function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (className) e.className = className;
    return e;
  }

  function showGutter(source, problems) {
    const worst = new Map();
    for (const p of problems) {
      if (worst.get(p.line) !== 'error') worst.set(p.line, p.kind);
    }
    const lines = source.split('\n').length;
    const numbers = [];
    for (let n = 1; n <= lines; n++) {
      const row = element('div', String(n), worst.get(n));
      row.dataset.line = n;
      numbers.push(row);
    }
    ui.gutter.replaceChildren(...numbers);
    ui.gutter.parentElement.style.setProperty('--digits', String(lines).length);
    followScroll();
  }

  // The numbers move with the text: the gutter's height is the editor's,
  // and its rows are shifted by as much as the text is scrolled.
  function followScroll() {
    ui.gutter.style.transform = `translateY(${-ui.source.scrollTop}px)`;
  }

  function goToLine(line) {
    const lines = ui.source.value.split('\n');
    let at = 0;
    for (let n = 1; n < line && n <= lines.length; n++) at += lines[n - 1].length + 1;
    ui.source.focus();
    ui.source.setSelectionRange(at, at + (lines[line - 1] || '').length);
  }

  // A problem at a line is a button that selects the line; one of no line
  // is text.
  function showProblems(problems) {
    ui.problems.replaceChildren(...problems.map((p) => {
      const item = element('li', undefined, p.kind);
      if (p.line > 0 && p.line !== Infinity) {
        const button = element('button', p.text);
        button.type = 'button';
        button.dataset.line = p.line;
        button.addEventListener('click', () => goToLine(p.line));
        item.append(button);
      } else {
        item.append(element('span', p.text));
      }
      return item;
    }));
  }

  // The statements as the image comments show them, with the labels in a
  // column of their own width instead of the comments' tabs, so that the
  // instructions line up.
  function showListing(rows) {
    const width = Math.max(0, ...rows.map((r) => r.label.length));
    const column = width > 0 ? width + 2 : 0;
    ui.listing.replaceChildren(...rows.map((r) => {
      const tr = document.createElement('tr');
      tr.append(
          element('td', r.address.toString(16).padStart(2, '0')),
          element('td', r.word),
          element('td', parseInt(r.word, 2).toString(16).padStart(3, '0')),
          element('td', String(r.line)),
          element('td', r.label.padEnd(column) + r.instruction));
      return tr;
    }));
  }

  function show(source, result) {
    const problems = result.problems;
    showGutter(source, problems);
    showProblems(problems);
    showListing(result.rows);
    ui.command.textContent = result.command;
    ui.console.textContent = result.console;
    if (result.image) {
      download = {name: result.imagePath, bytes: result.image};
      ui.image.textContent = new TextDecoder().decode(result.image);
      ui.status.textContent = `${result.imagePath}: ${result.rows.length} of 32 words used`;
      ui.status.className = '';
    } else {
      download = null;
      ui.image.textContent = '';
      ui.status.textContent = `failed (exit status ${result.status}): no image`;
      ui.status.className = 'failed';
    }
    ui.download.disabled = download === null;
    ui.example.value = examples.has(result.name) ? result.name : '';
  }

  // The reference of every mnemonic: its word, with d for a bit of a
  // number and a for a bit of an address after the fixed bits, and its
  // operand. Mnemonics that share a word say so.
  function showReference(mnemonics) {
    const operand = {
      none: () => 'none',
      data: (m) => `${m.width}-bit number`,
      jump: () => 'jump address',
    };
    const field = {none: '', data: 'd', jump: 'a'};
    ui.mnemonics.replaceChildren(...mnemonics.map((m, i) => {
      const word = m.kind === 'none' ? m.fixed : `${m.fixed} ${field[m.kind].repeat(m.width)}`;
      const same = mnemonics.slice(0, i).find((o) => o.kind === 'none' && o.fixed === m.fixed);
      let text = operand[m.kind](m);
      if (m.kind === 'none' && same) text += ` (the same word as ${same.name})`;
      const tr = document.createElement('tr');
      tr.append(element('td', m.name), element('td', word), element('td', text));
      return tr;
    }));
  }

  // A note above the page, or none.
  function notify(text) {
    ui.notice.textContent = text;
    ui.notice.hidden = text === '';
  }

  // --- Keeping the source --------------------------------------------------

  // The program in the address's fragment. The page writes it as
  // "#src=...&format=...&end", each value URI-encoded: a link that lost
  // its end was cut short, or made before links had one.
  // {source, format, problem}: source is null when the fragment holds no
  // program or one that cannot be read, and problem says what is wrong.
  function linked() {
    const fields = new Map();
    for (const part of location.hash.replace(/^#/, '').split('&')) {
      const eq = part.indexOf('=');
      if (eq < 0) {
        fields.set(part, '');
        continue;
      }
      try {
        fields.set(part.slice(0, eq), decodeURIComponent(part.slice(eq + 1)));
      } catch (e) {
        // cut inside a %XX escape, or bytes that are no UTF-8
        fields.set(part.slice(0, eq), null);
      }
    }
    const link = {source: null, format: fields.get('format'), problem: ''};
    if (!fields.has('src')) return link;
    if (fields.get('src') === null) {
      link.problem = 'The program in this link cannot be read: the link is cut short or ' +
          'wrongly encoded. Ask for the whole link. ';
      return link;
    }
    link.source = editorText(fields.get('src'));
    if (!fields.has('end')) {
      link.problem = 'This link has no end mark: if it was cut short, so is the program. ' +
          'Check that the program is whole.';
    }
    return link;
  }

  function keep(source, format) {
    if (nameOf(source) === TYPED_NAME) typed = source;
    let fragment = '#src=' + encodeURIComponent(source);
    if (format !== 'mif') fragment += '&format=' + format;
    fragment += '&end';
    try {
      history.replaceState(null, '', fragment);
    } catch (e) {
      // an address longer than the browser takes: the storage still keeps it
    }
    try {
      localStorage.setItem(STORED_SOURCE, source);
      localStorage.setItem(STORED_FORMAT, format);
      localStorage.setItem(STORED_TYPED, typed);
    } catch (e) {
      // storage refused (private mode, quota): the link still keeps it
    }
  }

  function stored(key) {
    try {
      return localStorage.getItem(key);
    } catch (e) {
      return null;
    }
  }

  // The source and format to start with: a link's, else the stored ones,
  // else the default example; and what is wrong with the link, if anything.
  function initial() {
    const isFormat = (f) => typeof f === 'string' && formats.has(f);
    const link = linked();
    if (link.source !== null) {
      return {source: link.source, format: isFormat(link.format) ? link.format : 'mif',
              problem: link.problem};
    }
    const source = stored(STORED_SOURCE);
    const format = stored(STORED_FORMAT);
    let problem = link.problem;
    if (problem !== '') {
      problem += source !== null ? 'Shown instead is your last program in this browser.' :
                                   'Shown instead is an example.';
    }
    return {
      source: source !== null ? source : examples.get(DEFAULT_EXAMPLE) || '',
      format: isFormat(format) ? format : 'mif',
      problem,
    };
  }

  // --- Wiring --------------------------------------------------------------

  // A run that did not complete: nothing of an earlier run may stay on show
  // as if it were this one's.
  function showBroken(error) {
    download = null;
    ui.download.disabled = true;
    ui.listing.replaceChildren();
    ui.problems.replaceChildren();
    ui.console.textContent = '';
    ui.image.textContent = '';
    ui.status.textContent = 'the assembler stopped: ' + error;
    ui.status.className = 'failed';
  }

  // Assembles what the editor holds and shows it; unless told otherwise,
  // keeps it in the address and the storage.
  function update(keeping = true) {
    const source = ui.source.value;
    const format = ui.format.value;
    try {
      show(source, assemble(source, format));
    } catch (error) {
      showBroken(error);
    }
    if (keeping) keep(source, format);
  }

  function edited() {
    notify('');
    update();
  }

  function load(source, format, keeping = true) {
    ui.source.value = source;
    ui.format.value = format;
    update(keeping);
  }

  // Opens what the address holds. A link with a problem stays in the
  // address as it came until the program is edited, so that it can still be
  // copied and is not passed on as whole.
  function openAddress() {
    const {source, format, problem} = initial();
    notify(problem);
    load(source, format, problem === '');
  }

  function saveImage() {
    if (download === null) return;
    const url = URL.createObjectURL(new Blob([download.bytes], {type: 'application/octet-stream'}));
    const a = element('a');
    a.href = url;
    a.download = download.name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  function loadExamples() {
    const FS = assembler.FS;
    const names = FS.readdir('/examples').filter((f) => f.endsWith('.asm')).sort();
    for (const file of names) {
      const name = file.slice(0, -4);
      examples.set(name, editorText(FS.readFile('/examples/' + file, {encoding: 'utf8'})));
      const option = element('option', name);
      option.value = name;
      ui.example.append(option);
    }
  }

  function loadFormats() {
    for (const f of assembler.formats()) {
      formats.set(f.name, f);
      const option = element('option', f.name);
      option.value = f.name;
      option.dataset.extension = f.extension;
      option.title = f.help;
      ui.format.append(option);
    }
  }

  // --- Reading a memory file back ------------------------------------------

  // The program the last memory file read back gives, or null.
  let readBack = null;

  // Reads `text`, the file `name`, as orvix -d NAME does, and shows the
  // program or why there is none.
  function readImage(text, name) {
    const run = assembler.disassemble(text, name);
    const notes = run.diagnostics.map((d) => element('li', d.text, d.severity));
    $('readback-notes').replaceChildren(...notes);
    readBack = run.status === 0 ? run.source : null;
    $('readback-program').textContent = readBack === null ? '' : readBack;
    $('readback-edit').disabled = readBack === null;
  }

  function startReadBack() {
    const text = $('readback-text');
    const file = $('readback-file');
    let name = 'pasted';
    text.addEventListener('input', () => {
      name = 'pasted';
      readImage(text.value, name);
    });
    file.addEventListener('change', async () => {
      if (file.files.length === 0) return;
      name = file.files[0].name;
      text.value = await file.files[0].text();
      readImage(text.value, name);
    });
    // The program goes into the editor as typed text, which the page keeps.
    $('readback-edit').addEventListener('click', () => {
      if (readBack !== null) load(readBack, ui.format.value);
    });
  }

  function start(module) {
    assembler = module;
    loadFormats();
    loadExamples();
    showReference(assembler.mnemonics());
    ui.source.disabled = false;
    ui.source.addEventListener('input', edited);
    ui.source.addEventListener('scroll', followScroll);
    ui.format.addEventListener('change', edited);
    // Opening an example keeps what was typed: "(your program)" brings it back.
    ui.example.addEventListener('change', () => {
      const name = ui.example.value;
      notify('');
      load(examples.has(name) ? examples.get(name) : typed, ui.format.value);
    });
    ui.download.addEventListener('click', saveImage);
    // The page rewrites the address without this event: it is another link.
    window.addEventListener('hashchange', openAddress);
    startReadBack();
    typed = stored(STORED_TYPED) || '';
    openAddress();
    document.body.dataset.ready = 'true';
  }

  // The module could not be had: the page says why, and assembles nothing.
  function failed(text) {
    notify(text);
    ui.source.value = '';
    showProblems([{line: 0, kind: 'error', text: 'No assembler: nothing is assembled.'}]);
    ui.status.textContent = 'no assembler';
    ui.status.className = 'failed';
  }

  // A page read from the disk may not load its module: browsers refuse a
  // file:// page the files beside it.
  if (location.protocol === 'file:') {
    failed('This page was opened from the disk, where the browser does not let it load ' +
           'the assembler. Serve its folder instead: in that folder, run ' +
           '"python3 -m http.server 8000 --bind 127.0.0.1" and open http://127.0.0.1:8000/.');
    return;
  }
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('service-worker.js').catch(() => {
      // no offline reload, as before a first visit: everything else works
    });
  }
  createAssembler({
    // The module prints nothing of a run; anything it does print is a fault.
    print: (text) => console.error(text),
    printErr: (text) => console.error(text),
  }).then(start, (error) => {
    failed(`The assembler could not be loaded (${error}). Reload the page to try again.`);
  });
})();
