"""What a message means: addressee, requests, promises, meetings, importance; the digest and rule answers."""
