// Turns three.js's two ES modules (build/three.core.js and build/three.module.js) into one
// classic script that defines window.THREE, so a page can inline it and open from disk
// without a module loader. Usage: node bundle-three.js CORE MODULE LICENSE OUT
'use strict';
const fs = require('fs');
const [corePath, modulePath, licensePath, outPath] = process.argv.slice(2);

// Export and import statements of the top level: "export { a as B, c };", optionally
// "from './x.js'", and "import { a as B } from './x.js';".
const kExport = /^export\s*\{([^}]*)\}\s*(?:from\s*['"]([^'"]+)['"])?\s*;?[ \t]*$/gm;
const kImport = /^import\s*\{([^}]*)\}\s*from\s*['"]([^'"]+)['"]\s*;?[ \t]*$/gm;

function specifiers(list) {
  return list.split(',').map(s => s.trim()).filter(Boolean).map(s => {
    const m = s.split(/\s+as\s+/);
    return { local: m[0].trim(), exported: (m[1] || m[0]).trim() };
  });
}

function fail(message) {
  console.error('bundle-three: ' + message);
  process.exit(1);
}

let core = fs.readFileSync(corePath, 'utf8');
let mod = fs.readFileSync(modulePath, 'utf8');
if (/^\s*import\s/m.test(core.replace(kExport, ''))) fail('three.core.js imports other modules');

const coreExports = [];
core = core.replace(kExport, (all, list, from) => {
  if (from) fail('three.core.js re-exports from ' + from);
  coreExports.push(...specifiers(list));
  return '';
});

const moduleExports = [];   // { local, exported } of the module's own bindings
const reexports = [];       // names taken from the core as they are
mod = mod.replace(kImport, (all, list, from) => {
  if (!from.endsWith('three.core.js')) fail('three.module.js imports ' + from);
  const names = specifiers(list).map(s => `${s.local}: ${s.exported}`);
  return `const { ${names.join(', ')} } = __core;`;
});
mod = mod.replace(kExport, (all, list, from) => {
  if (from) {
    if (!from.endsWith('three.core.js')) fail('three.module.js re-exports from ' + from);
    reexports.push(...specifiers(list));
  } else {
    moduleExports.push(...specifiers(list));
  }
  return '';
});
if (/^\s*(import|export)\s/m.test(core) || /^\s*(import|export)\s/m.test(mod)) fail('an import or export was left');
if (/import\.meta/.test(core + mod)) fail('import.meta has no meaning in a classic script');

const object = list => '{ ' + list.map(s => `${JSON.stringify(s.exported)}: ${s.local}`).join(', ') + ' }';
const license = fs.readFileSync(licensePath, 'utf8').replace(/\*\//g, '* /');
let out = `/* three.js, bundled for inlining into a page.\n${license}*/\n` +
  `(function () {\n'use strict';\n` +
  `const __core = (function () {\n${core}\nreturn ${object(coreExports)};\n})();\n` +
  `const __module = (function () {\n${mod}\nreturn ${object(moduleExports)};\n})();\n` +
  `const THREE = Object.assign({}, ${object(reexports.map(s => ({ local: '__core.' + s.local, exported: s.exported })))}, __module);\n` +
  `window.THREE = THREE;\n})();\n`;
// Inlined into <script>: the text may not close the element or open a comment there.
out = out.replace(/<\/script/gi, '<\\/script').replace(/<!--/g, '<\\!--');
fs.writeFileSync(outPath + '.tmp', out);
fs.renameSync(outPath + '.tmp', outPath);
