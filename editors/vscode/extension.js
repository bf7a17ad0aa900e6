// ZRC assembly in Visual Studio Code: the grammar and language configuration
// come from package.json; this starts `orvix --lsp` (the setting orvix.path,
// else orvix from PATH) for the ZRC documents, through vscode-languageclient,
// and stops it with the editor (a changed orvix.path counts from the next
// start of the window). The server's log is in the Output panel,
// under "orvix".

'use strict';

const vscode = require('vscode');
const {LanguageClient} = require('vscode-languageclient/node');

let client = null;

async function activate() {
  const command = vscode.workspace.getConfiguration('orvix').get('path') || 'orvix';
  // No transport given: the client adds no argument and talks over stdio.
  const server = {command, args: ['--lsp']};
  client = new LanguageClient('orvix', 'orvix', {run: server, debug: server}, {
    documentSelector: [{language: 'zrc'}],
  });
  await client.start();
}

async function deactivate() {
  if (client !== null) await client.stop();
}

module.exports = {activate, deactivate};
