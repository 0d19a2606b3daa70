#!/usr/bin/env node
// beatclone under node: the command compiled to WebAssembly, run on the real file system with
// the arguments, standard streams and exit code of the native command.
import { createRequire } from 'node:module';

const createBeatclone = createRequire(import.meta.url)('./beatclone-node.cjs');

const beatclone = await createBeatclone({ thisProgram: 'beatclone' });
// Emscripten's own umask starts as 0777, which would write every file with mode 000.
beatclone._umask(process.umask());
let code;
try {
    code = beatclone.callMain(process.argv.slice(2));
} catch (e) {
    if (e?.name !== 'ExitStatus') throw e;
    code = e.status;
}
process.exitCode = code;
