#!/usr/bin/env node
// Validates a glTF binary (GLB) file with the Khronos glTF validator.
// Prints every issue with its severity and exits 1 when there are errors,
// 2 when the file cannot be validated at all:  node validate.mjs FILE
import { readFileSync } from 'node:fs';
import { basename } from 'node:path';
import validator from 'gltf-validator';

const severities = ['error', 'warning', 'info', 'hint'];

async function main(file) {
  const bytes = new Uint8Array(readFileSync(file));
  const report = await validator.validateBytes(bytes, {
    uri: basename(file),
    format: 'glb',
    maxIssues: 1000,
    // Everything lives inside the file; nothing else may be asked for.
    externalResourceFunction: (uri) => Promise.reject(new Error(`outside the file: ${uri}`)),
  });
  const issues = report.issues;
  console.log(
    `${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
      `${issues.numInfos} infos, ${issues.numHints} hints (validator ${report.validatorVersion})`,
  );
  for (const message of issues.messages)
    console.log(`  ${severities[message.severity] ?? message.severity} ${message.code} at ${message.pointer ?? '-'}: ${message.message}`);
  return issues.numErrors > 0 ? 1 : 0;
}

if (process.argv.length !== 3) {
  console.error('usage: node validate.mjs FILE.glb');
  process.exit(2);
}
main(process.argv[2]).then(
  (status) => process.exit(status),
  (error) => {
    console.error(`${process.argv[2]}: cannot validate: ${error}`);
    process.exit(2);
  },
);
