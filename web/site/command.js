// The beatclone command, compiled to WebAssembly, run on in-memory files: a fresh instance per
// run, from one compiled module.
import createBeatclone from './beatclone-web.mjs';

let compiled;

function compiledCommand() {
    compiled ??= WebAssembly.compileStreaming(fetch(new URL('beatclone-web.wasm', import.meta.url)));
    return compiled;
}

// Runs `beatclone ...args` in the folder /work, holding `files` ({name: Uint8Array}). Answers
// the exit code, standard output and error, and every file of /work afterwards.
export async function runCommand(args, files) {
    const wasm = await compiledCommand();
    const stdout = [];
    const stderr = [];
    const command = await createBeatclone({
        thisProgram: 'beatclone',
        print: (line) => stdout.push(line),
        printErr: (line) => stderr.push(line),
        instantiateWasm(imports, receive) {
            WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance));
            return {};
        },
    });
    // Emscripten's umask starts as 0777: files written would be unreadable.
    command._umask(0o022);
    const fs = command.FS;
    fs.mkdir('/work');
    fs.chdir('/work');
    for (const [name, bytes] of Object.entries(files)) fs.writeFile(name, bytes);
    let status;
    try {
        status = command.callMain(args);
    } catch (e) {
        if (e?.name !== 'ExitStatus') throw e;
        status = e.status;
    }
    const written = {};
    for (const name of fs.readdir('/work')) {
        if (name !== '.' && name !== '..') written[name] = fs.readFile(name);
    }
    const text = (lines) => (lines.length ? lines.join('\n') + '\n' : '');
    return { status, stdout: text(stdout), stderr: text(stderr), files: written };
}
