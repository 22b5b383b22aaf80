"""Answers of the management server for live play, card playback and alarm
pictures against simulated cameras. Without a routes object the management
server answers these requests from its plain tables."""


class PlayRoutes:
    def answer(self, msg_id, sub, body):
        """A list of (reply id, reply body), or None to leave the request to
        the plain tables."""
        return None
