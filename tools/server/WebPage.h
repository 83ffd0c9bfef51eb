// The web page served at "/": its files, built into the program, open to anyone who reaches the server.
#pragma once

class HttpApi;

// The page, its script, style and icon (also as /favicon.ico, which browsers ask for on their own). They hold no
// data, so they need no token: the page asks for one when the API does.
void routeWebPage(HttpApi& api);
