// Bundles the page with esbuild: node build.mjs OUTDIR writes OUTDIR/index.html and
// OUTDIR/assets/studio.js and studio.css. Everything the page loads is in OUTDIR.
import {copyFile, mkdir} from 'node:fs/promises';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';
import * as esbuild from 'esbuild';

const here = dirname(fileURLToPath(import.meta.url));
const outdir = process.argv[2];
if (!outdir) {
    console.error('usage: node build.mjs OUTDIR');
    process.exit(2);
}
await mkdir(join(outdir, 'assets'), {recursive: true});
await esbuild.build({
    entryPoints: [join(here, 'src/main.js')],
    bundle: true,
    format: 'esm',
    target: 'es2022',
    minify: true,
    sourcemap: 'linked',
    legalComments: 'linked',
    outfile: join(outdir, 'assets/studio.js'),
    logLevel: 'warning',
});
await copyFile(join(here, 'index.html'), join(outdir, 'index.html'));
await copyFile(join(here, 'style.css'), join(outdir, 'assets/studio.css'));
