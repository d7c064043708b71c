// The page's lint rules: ESLint's recommended rules and a few that catch what review would, over
// the page's sources, its build script, the browser tests and the page's benchmark. Paths are
// from the top of the repository, where scripts/check-page runs ESLint with this file.

import js from '@eslint/js';
import globals from 'globals';

export default [
    {ignores: ['**/node_modules/', 'build/']},
    js.configs.recommended,
    {
        files: ['web/src/**/*.js'],
        languageOptions: {globals: globals.browser},
    },
    {
        files: ['web/*.js', 'web/*.mjs'],
        languageOptions: {globals: globals.node},
    },
    {
        rules: {
            eqeqeq: ['error', 'always'],
            'no-var': 'error',
            'prefer-const': 'error',
            'no-shadow': 'error',
            'no-unused-vars': ['error', {args: 'after-used', caughtErrors: 'none'}],
            'no-use-before-define': ['error', {functions: false, classes: true, variables: false}],
            'no-implicit-coercion': 'error',
            'no-param-reassign': 'error',
            'object-shorthand': 'error',
            'prefer-template': 'error',
            'no-restricted-imports': [
                'error',
                {
                    paths: [
                        {
                            name: './api.js',
                            importNames: ['getJson', 'postJson', 'postBytes'],
                            message: 'Requests to the host go through actions.js.',
                        },
                    ],
                },
            ],
        },
    },
    {
        // Node scripts whose functions given to page.evaluate() run in the page, and take what
        // they need from the script as arguments of the same names.
        files: ['tests/browser/**/*.mjs', 'bench/**/*.mjs'],
        languageOptions: {globals: {...globals.node, ...globals.browser}},
        rules: {'no-shadow': 'off'},
    },
    {
        // The one module that sends requests, and the module that says how.
        files: ['web/src/actions.js', 'web/src/api.js'],
        rules: {'no-restricted-imports': 'off'},
    },
    {
        files: ['web/src/**/*.js'],
        ignores: ['web/src/actions.js', 'web/src/api.js'],
        rules: {
            'no-restricted-globals': [
                'error',
                {name: 'fetch', message: 'Requests to the host go through actions.js.'},
                {name: 'XMLHttpRequest', message: 'Requests to the host go through actions.js.'},
            ],
        },
    },
];
