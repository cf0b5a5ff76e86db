// Runs the Khronos glTF validator on one file and prints its counts and messages.
// Usage: node validate_gltf.js MODULE_DIR FILE.glb
// Exits 0 when the file has no errors and no warnings, 1 otherwise, 2 when it could not run.
'use strict';
const fs = require('fs');
const path = require('path');

const [moduleDir, file] = process.argv.slice(2);
let validator;
try {
    validator = require(path.resolve(moduleDir));
} catch (e) {
    console.log(`cannot load the validator: ${e.message}`);
    process.exit(2);
}
validator
    .validateBytes(new Uint8Array(fs.readFileSync(file)), {maxIssues: 100, writeTimestamp: false})
    .then((report) => {
        const i = report.issues;
        console.log(`errors=${i.numErrors} warnings=${i.numWarnings} infos=${i.numInfos} ` +
                    `hints=${i.numHints}`);
        for (const m of i.messages) {
            console.log(`${m.severity} ${m.code} ${m.pointer || ''} ${m.message}`);
        }
        process.exit(i.numErrors === 0 && i.numWarnings === 0 ? 0 : 1);
    })
    .catch((e) => {
        console.log(`validator failed: ${e}`);
        process.exit(2);
    });
