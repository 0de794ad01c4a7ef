"""The door: the HTTP server, its request gates and routes, and the phone page."""
