// The TextMate grammar of editors/vscode, read through the extension's
// manifest and tokenized by vscode-textmate with vscode-oniguruma (npm,
// pinned in package-lock.json), the tokenizer Visual Studio Code uses. Each
// row is a source line and, in order, tokens of it with the scope each must
// have innermost; null for a token that must have source.zrc alone.
//
// Environment (set by CTest): ORVIX_SOURCE_DIR, the source tree; NODE_PATH,
// where npm installed the two packages.

'use strict';

const {test} = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const oniguruma = require('vscode-oniguruma');
const textmate = require('vscode-textmate');

const EXTENSION = path.join(process.env.ORVIX_SOURCE_DIR, 'editors', 'vscode');

const JUMPS = ['j', 'jmq', 'jc', 'jo'];
const INSTRUCTIONS = ['load', 'lea', 'sto', 'add', 'and', 'outb', 'outbpb', 'sdpcpu', 'inb',
  'wdpcpu', 'inc', 'dec', 'lsh', 'rsh', 'inv', 'swap', 'leamq'];

const LABEL = 'entity.name.label.zrc';
const COLON = 'punctuation.separator.label.zrc';
const JUMP = 'keyword.control.jump.zrc';
const INSTRUCTION = 'keyword.other.instruction.zrc';
const DIRECTIVE = 'keyword.other.directive.zrc';
const REFERENCE = 'variable.other.label.zrc';
const DECIMAL = 'constant.numeric.decimal.zrc';
const HEX = 'constant.numeric.hex.zrc';
const COMMENT = 'comment.line.semicolon.zrc';
const SEMICOLON = 'punctuation.definition.comment.zrc';

const ROWS = [
  ['start:  load    5       ; five',
    [['start', LABEL], [':', COLON], ['load', INSTRUCTION], ['5', DECIMAL], [';', SEMICOLON],
      [' five', COMMENT]]],
  ['        j       loop', [['j', JUMP], ['loop', REFERENCE]]],
  ['again:,jc,-3;back', [['again', LABEL], ['jc', JUMP], ['-3', DECIMAL], [';', SEMICOLON]]],
  ['\tjo\tdone2 extra', [['jo', JUMP], ['done2', REFERENCE], [' extra', null]]],
  ['j 5', [['j', JUMP], ['5', DECIMAL]]],
  ['jc -1x', [['jc', JUMP], ['-1x', REFERENCE]]],
  ['stärke: inc', [['stärke', LABEL], ['inc', INSTRUCTION]]],
  ['loop:', [['loop', LABEL], [':', COLON]]],
  ['        .word   0x3fF', [['.word', DIRECTIVE], ['0x3fF', HEX]]],
  ['w: .word 1023 ; all ones', [['w', LABEL], ['.word', DIRECTIVE], ['1023', DECIMAL]]],
  // What the assembler does not take as a mnemonic or a number is left plain.
  ['lod 3', [['lod ', null], ['3', DECIMAL]]],
  // A label and its mnemonic are separate tokens only with a separator.
  ['again:jc 3', [['again:jc ', null], ['3', DECIMAL]]],
  ['x: LOAD 3-1', [['x', LABEL], [' LOAD 3-1', null]]],
  ['outbpbx 1', [['outbpbx ', null], ['1', DECIMAL]]],
  ['        ; only a comment', [['        ', null], [';', SEMICOLON]]],
  ...JUMPS.map((m) => [`l: ${m} target`, [['l', LABEL], [m, JUMP], ['target', REFERENCE]]]),
  ...INSTRUCTIONS.map((m) => [`        ${m} 1`, [[m, INSTRUCTION], ['1', DECIMAL]]]),
];

async function loadGrammar() {
  const manifest = JSON.parse(fs.readFileSync(path.join(EXTENSION, 'package.json'), 'utf8'));
  const contributed = manifest.contributes.grammars.find((g) => g.language === 'zrc');
  assert.ok(contributed, 'the manifest contributes no grammar for zrc');
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async (scopeName) => {
      if (scopeName !== contributed.scopeName) return null;
      const file = path.join(EXTENSION, contributed.path);
      return textmate.parseRawGrammar(fs.readFileSync(file, 'utf8'), file);
    },
  });
  return registry.loadGrammar('source.zrc');
}

test('the grammar gives every token of the rows its scope', async (t) => {
  const grammar = await loadGrammar();
  assert.ok(grammar, 'no grammar for source.zrc');
  for (const [line, expected] of ROWS) {
    await t.test(line, () => {
      const {tokens} = grammar.tokenizeLine(line, textmate.INITIAL);
      const found = tokens.map((tk) => [line.slice(tk.startIndex, tk.endIndex), tk.scopes]);
      let from = 0;
      for (const [text, scope] of expected) {
        const i = found.findIndex(([s], k) => k >= from && s === text);
        assert.ok(i >= 0, `no token '${text}' in ${JSON.stringify(found)}`);
        const scopes = found[i][1];
        if (scope === null) {
          assert.deepEqual(scopes, ['source.zrc'], `'${text}'`);
        } else {
          assert.equal(scopes[scopes.length - 1], scope, `'${text}': ${scopes.join(' ')}`);
        }
        from = i + 1;
      }
    });
  }
});
